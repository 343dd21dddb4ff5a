#include "platform/message_box.h"

#include "platform/backend.h"

namespace {
const char* const MessageCaption = "Vistrel";
}

void ShowMessage(const String& text, bool warning) {
    MessageBoxRequest request;
    request.caption = MessageCaption;
    request.text = text;
    request.icon = warning ? MessageIcon::Warning : MessageIcon::None;
    BackendMessageBox(request);
}

bool AskYesNo(const String& text, bool yesIsDefault, bool warning) {
    MessageBoxRequest request;
    request.caption = MessageCaption;
    request.text = text;
    request.yesNo = true;
    request.yesIsDefault = yesIsDefault;
    request.icon = warning ? MessageIcon::Warning : MessageIcon::Question;
    return BackendMessageBox(request);
}
