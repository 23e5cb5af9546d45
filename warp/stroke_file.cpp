#include "warp/stroke_file.h"

#include <charconv>
#include <cmath>

namespace warp {

namespace {

// Splits a line at spaces and tabs.
std::vector<std::string_view> wordsOf(std::string_view line) {
    std::vector<std::string_view> words;
    size_t at = 0;
    while (at < line.size()) {
        while (at < line.size() && (line[at] == ' ' || line[at] == '\t')) {
            ++at;
        }
        const size_t start = at;
        while (at < line.size() && line[at] != ' ' && line[at] != '\t') {
            ++at;
        }
        if (at > start) {
            words.push_back(line.substr(start, at - start));
        }
    }
    return words;
}

double number(std::string_view word, int line, const char* what, double low, double high) {
    double value = 0;
    const auto [end, error] = std::from_chars(word.data(), word.data() + word.size(), value);
    if (error != std::errc() || end != word.data() + word.size() || !std::isfinite(value)) {
        throw StrokeFileError(line,
                              std::string(what) + " \"" + std::string(word) + "\" is not a number");
    }
    if (value < low || value > high) {
        throw StrokeFileError(line,
                              std::string(what) + " " + std::string(word) + " is out of range");
    }
    return value;
}

}  // namespace

std::vector<Dab> parseStrokeFile(std::string_view text) {
    std::vector<Dab> dabs;
    int lineNumber = 0;
    bool afterPush = false;
    QPointF pushFrom;
    size_t at = 0;
    while (at < text.size()) {
        size_t end = text.find('\n', at);
        if (end == std::string_view::npos) {
            end = text.size();
        }
        std::string_view line = text.substr(at, end - at);
        at = end + 1;
        ++lineNumber;
        if (!line.empty() && line.back() == '\r') {
            line.remove_suffix(1);
        }
        const std::vector<std::string_view> words = wordsOf(line);
        if (words.empty() || words[0].front() == '#') {
            continue;
        }
        const BrushInfo* brush = findBrush(words[0]);
        if (brush == nullptr) {
            throw StrokeFileError(lineNumber, "unknown tool \"" + std::string(words[0]) + "\"");
        }
        if (words.size() < 5 || words.size() > 6) {
            throw StrokeFileError(lineNumber, "expected TOOL X Y RADIUS STRENGTH [HARDNESS]");
        }
        if (dabs.size() >= kMostDabs) {
            throw StrokeFileError(lineNumber, "more than a million dabs");
        }
        constexpr double kFar = 1e7;
        Dab dab;
        dab.brush = brush->id;
        dab.at = {number(words[1], lineNumber, "X", -kFar, kFar),
                  number(words[2], lineNumber, "Y", -kFar, kFar)};
        dab.radius = number(words[3], lineNumber, "RADIUS", 0, kLargestRadius);
        dab.strength = number(words[4], lineNumber, "STRENGTH", 0, 100);
        dab.hardness = words.size() == 6 ? number(words[5], lineNumber, "HARDNESS", 0, 100) : 50;
        if (dab.radius <= 0) {
            throw StrokeFileError(lineNumber, "RADIUS must be above 0");
        }
        const bool push = dab.brush == Brush::Push;
        dab.from = push && afterPush ? pushFrom : dab.at;
        pushFrom = dab.at;
        afterPush = push;
        dabs.push_back(dab);
    }
    return dabs;
}

std::vector<Dab> straightPush(QPointF from, QPointF to, double radius, double strength,
                              double hardness) {
    const double length = std::hypot(to.x() - from.x(), to.y() - from.y());
    const double spacing = std::max(radius / 10, 0.5);
    const int steps = std::max(1, static_cast<int>(std::ceil(length / spacing)));
    std::vector<Dab> dabs;
    dabs.reserve(static_cast<size_t>(steps));
    QPointF previous = from;
    for (int k = 1; k <= steps; ++k) {
        const QPointF next = from + (to - from) * (static_cast<double>(k) / steps);
        dabs.push_back({Brush::Push, next, previous, radius, strength, hardness});
        previous = next;
    }
    return dabs;
}

}  // namespace warp
