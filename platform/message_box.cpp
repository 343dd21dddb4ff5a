#include "platform/message_box.h"

#include "platform/backend.h"
#include "platform/main_loop.h"

namespace {
const char* const MessageCaption = "Vistrel";
}

void ShowMessage(const String& text, bool warning) {
    MessageBoxRequest request;
    request.caption = MessageCaption;
    request.text = text;
    request.icon = warning ? MessageIcon::Warning : MessageIcon::None;
    ModalDialogScope modal;
    BackendMessageBox(request);
}

bool AskYesNo(const String& text, bool yesIsDefault, bool warning) {
    MessageBoxRequest request;
    request.caption = MessageCaption;
    request.text = text;
    request.yesNo = true;
    request.yesIsDefault = yesIsDefault;
    request.icon = warning ? MessageIcon::Warning : MessageIcon::Question;
    ModalDialogScope modal;
    return BackendMessageBox(request);
}
