#include "platform/Messages.h"

#include <utility>

#include "platform/Strings.h"

namespace tandrel {

namespace {
MessageBoxHandler& Handler() {
    static MessageBoxHandler handler;
    return handler;
}
}  // namespace

MessageBoxHandler SetMessageBoxHandler(MessageBoxHandler handler) {
    return std::exchange(Handler(), std::move(handler));
}

int ShowMessage(HWND owner, const std::wstring& text, const std::wstring& caption, UINT flags) {
    flags |= MB_TOPMOST;
    if (Handler()) return Handler()(owner, text, caption, flags);
    return MessageBoxW(owner, text.c_str(), caption.c_str(), flags);
}

int ShowMessageIds(HWND owner, unsigned textId, unsigned captionId, UINT flags) {
    return ShowMessage(owner, LoadText(textId), LoadText(captionId), flags);
}

int ShowMessageFormat(HWND owner, unsigned textId, unsigned captionId, UINT flags, const std::wstring& first,
                      const std::wstring* second) {
    return ShowMessageFormatCaption(owner, textId, LoadText(captionId), flags, first, second);
}

int ShowMessageFormatCaption(HWND owner, unsigned textId, const std::wstring& caption, UINT flags,
                             const std::wstring& first, const std::wstring* second) {
    return ShowMessage(owner, InsertArgs(LoadText(textId), first, second), caption, flags);
}

}  // namespace tandrel
