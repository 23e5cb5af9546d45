// The self-playing record player: a small window that shows the JPEG frames appended to its own
// program file, playing them once at start; buttons play them again, backwards or to and fro.
#include <FL/Fl.H>
#include <FL/Fl_Button.H>
#include <FL/Fl_Double_Window.H>
#include <FL/Fl_Group.H>
#include <FL/Fl_Widget.H>
#include <FL/fl_ask.H>
#include <FL/fl_draw.H>
#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "player/display_fit.h"
#include "player/playback.h"
#include "player/recording.h"

extern char** environ;

namespace {

constexpr const char* kCaption = "Mugwarp Player";
constexpr const char* kWebsite = "https://mugwarp.example.org/";
constexpr double kTickSeconds = 0.1;
constexpr double kReapSeconds = 0.5;

// The current frame, or a message in place of the frames, on the window's background.
class FrameView : public Fl_Widget {
public:
    FrameView(int x, int y, int w, int h) : Fl_Widget(x, y, w, h) {}

    void showFrame(const player::ShownFrame* frame) {
        frame_ = frame;
        redraw();
    }
    void showMessage(std::string message) {
        message_ = std::move(message);
        redraw();
    }

protected:
    void draw() override {
        fl_color(color());
        fl_rectf(x(), y(), w(), h());
        if (frame_ != nullptr) {
            const player::RgbImage& image = frame_->image;
            fl_draw_image(image.pixels.data(), frame_->place.left, frame_->place.top, image.width,
                          image.height, 3, 0);
        }
        if (!message_.empty()) {
            fl_color(FL_BLACK);
            fl_font(FL_HELVETICA, 14);
            // The message may hold '@', which must not turn into a symbol.
            fl_draw(message_.c_str(), x() + 30, y() + 30, w() - 60, h() - 60,
                    FL_ALIGN_CENTER | FL_ALIGN_INSIDE | FL_ALIGN_WRAP, nullptr, 0);
        }
    }

private:
    const player::ShownFrame* frame_ = nullptr;
    std::string message_;
};

struct Player {
    Fl_Double_Window* window = nullptr;
    FrameView* view = nullptr;
    std::vector<Fl_Button*> playButtons;
    player::Recording recording;
    std::optional<player::Playback> playback;
    std::vector<pid_t> browsers;  // xdg-open runs not yet reaped
};

void showCurrent(Player& player) {
    const int current = player.playback->current();
    player.view->showFrame(&player.recording.frames[static_cast<std::size_t>(current - 1)]);
}

void onTick(void* data) {
    auto& player = *static_cast<Player*>(data);
    player.playback->tick();
    showCurrent(player);
    if (player.playback->running()) {
        Fl::repeat_timeout(kTickSeconds, onTick, data);
    }
}

void restart(Player& player) {
    Fl::remove_timeout(onTick, &player);
    showCurrent(player);
    Fl::add_timeout(kTickSeconds, onTick, &player);
}

void onPlay(Fl_Widget*, void* data) {
    auto& player = *static_cast<Player*>(data);
    player.playback->play();
    restart(player);
}

void onReverse(Fl_Widget*, void* data) {
    auto& player = *static_cast<Player*>(data);
    player.playback->reverse();
    restart(player);
}

void onCycle(Fl_Widget*, void* data) {
    auto& player = *static_cast<Player*>(data);
    player.playback->cycle();
    restart(player);
}

// Collects the xdg-open runs that have ended, without waiting for the others.
void reapBrowsers(void* data) {
    auto& browsers = static_cast<Player*>(data)->browsers;
    std::erase_if(browsers, [](pid_t pid) {
        int status = 0;
        return waitpid(pid, &status, WNOHANG) != 0;
    });
    if (!browsers.empty()) {
        Fl::repeat_timeout(kReapSeconds, reapBrowsers, data);
    }
}

void onWebsite(Fl_Widget*, void* data) {
    auto& player = *static_cast<Player*>(data);
    std::string program = "xdg-open";
    std::string url = kWebsite;
    char* arguments[] = {program.data(), url.data(), nullptr};
    pid_t pid = 0;
    const int error = posix_spawnp(&pid, "xdg-open", nullptr, nullptr, arguments, environ);
    if (error != 0) {
        fl_alert("Cannot open %s: xdg-open could not be started (%s).", kWebsite,
                 std::strerror(error));
        return;
    }
    if (player.browsers.empty()) {
        Fl::add_timeout(kReapSeconds, reapBrowsers, &player);
    }
    player.browsers.push_back(pid);
}

Fl_Button* addButton(int x, int w, const char* label, const char* tip, Fl_Callback* callback,
                     Player& player) {
    auto* button = new Fl_Button(x, 482, w, 22, label);
    button->tooltip(tip);
    button->callback(callback, &player);
    return button;
}

void buildWindow(Player& player) {
    player.window = new Fl_Double_Window(93, 128, 630, 546, kCaption);
    player.window->color(fl_rgb_color(135, 206, 235));
    player.view = new FrameView(0, 0, 630, 478);
    player.view->color(player.window->color());

    auto* panel = new Fl_Group(5, 480, 620, 27);
    panel->box(FL_THIN_UP_BOX);
    auto* website =
        addButton(8, 113, "Mugwarp website", "Visit the Mugwarp website", onWebsite, player);
    website->labelsize(12);
    player.playButtons.push_back(addButton(549, 23, "@>", "Play", onPlay, player));
    player.playButtons.push_back(addButton(574, 23, "@<", "Reverse", onReverse, player));
    player.playButtons.push_back(addButton(599, 23, "@<->", "Cycle", onCycle, player));
    for (Fl_Button* button : player.playButtons) {
        button->labelsize(10);
        button->deactivate();
    }
    panel->end();

    player.window->end();
    // Same smallest and largest size: the window cannot be resized or maximised.
    player.window->size_range(630, 546, 630, 546);
}

// Reads the program's own file: the player followed by its recording.
player::Recording loadOwnRecording(Player& player) {
    const int fd = open("/proc/self/exe", O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        player::Recording failed;
        failed.error =
            std::string("cannot open the player's own file (") + std::strerror(errno) + ")";
        return failed;
    }
    struct stat status {};
    std::uint64_t size = 0;
    if (fstat(fd, &status) == 0 && status.st_size > 0) {
        size = static_cast<std::uint64_t>(status.st_size);
    }
    const player::ReadAt read = [fd, size](std::uint64_t offset, std::size_t count,
                                           std::uint8_t* dest) {
        if (offset > size || count > size - offset) {
            return false;
        }
        while (count > 0) {
            const ssize_t got = pread(fd, dest, count, static_cast<off_t>(offset));
            if (got < 0 && errno == EINTR) {
                continue;
            }
            if (got <= 0) {
                return false;
            }
            dest += got;
            count -= static_cast<std::size_t>(got);
            offset += static_cast<std::uint64_t>(got);
        }
        return true;
    };
    // The window stays responsive, and may be closed, while the frames are decoded.
    player::Recording recording = player::loadRecording(size, read, [&player] {
        Fl::check();
        return player.window->shown() != 0;
    });
    close(fd);
    return recording;
}

}  // namespace

int main() {
    Player player;
    buildWindow(player);
    player.view->showMessage("Loading the recording...");
    player.window->show();
    Fl::check();

    player.recording = loadOwnRecording(player);
    if (!player.window->shown()) {
        return 0;  // closed while loading
    }
    if (!player.recording.ok()) {
        const std::string message = "This player's recording is damaged: " + player.recording.error;
        std::fprintf(stderr, "%s\n", message.c_str());
        player.view->showMessage(message);
    } else {
        player.view->showMessage("");
        player.playback.emplace(static_cast<int>(player.recording.frames.size()));
        for (Fl_Button* button : player.playButtons) {
            button->activate();
        }
        restart(player);  // plays once
    }
    Fl::run();
    return 0;
}
