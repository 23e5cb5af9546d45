#include "formats/readers/postscript_permission.h"

namespace formats {
namespace {

thread_local const PostScriptPermission* current = nullptr;

}  // namespace

PostScriptPermission::PostScriptPermission(Rendering rendering, const std::atomic<bool>* cancelled)
    : rendering_(rendering), cancelled_(cancelled), previous_(current) {
    current = this;
}

PostScriptPermission::~PostScriptPermission() {
    current = previous_;
}

bool PostScriptPermission::renderingAllowed() {
    return current != nullptr && current->rendering_ == Rendering::Allowed;
}

bool PostScriptPermission::cancelRequested() {
    return current != nullptr && current->cancelled_ != nullptr && current->cancelled_->load();
}

}  // namespace formats
