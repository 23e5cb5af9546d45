// Whether the current thread may start the PostScript interpreter. By default no thread may:
// only the places where the user asks for a file to be opened (File > Open, the command line,
// a drop, the batch tool) allow it for as long as a PostScriptPermission of theirs lives, and
// previews and every other reader of pictures get the EPS file's own previews or nothing.
#pragma once

#include <atomic>

namespace formats {

class PostScriptPermission {
public:
    enum class Rendering { Forbidden, Allowed };

    // Sets this thread's permission until the object ends, when the one before it returns.
    // `cancelled`, when given, is polled while the interpreter runs or waits for its turn:
    // once it is true the interpreter is killed and the reader throws PostScriptCancelled.
    explicit PostScriptPermission(Rendering rendering,
                                  const std::atomic<bool>* cancelled = nullptr);
    ~PostScriptPermission();
    PostScriptPermission(const PostScriptPermission&) = delete;
    PostScriptPermission& operator=(const PostScriptPermission&) = delete;

    // This thread's current permission and cancellation request.
    static bool renderingAllowed();
    static bool cancelRequested();

private:
    Rendering rendering_;
    const std::atomic<bool>* cancelled_;
    const PostScriptPermission* previous_;
};

}  // namespace formats
