// One guard for every event handler: Qt lets no exception cross its event loop,
// so a handler that throws ends there and the user sees the error's text in the
// standard error box; the state stays as far as the handler had got.
#pragma once

#include <exception>
#include <utility>

// Shows the error box; kept out of line so the template stays small.
void showHandlerError(const char* what);

template <typename Handler>
void guarded(Handler&& handler) {
    try {
        std::forward<Handler>(handler)();
    } catch (const std::exception& error) {
        showHandlerError(error.what());
    } catch (...) {
        showHandlerError("Unknown error");
    }
}
