#include "support/Pump.h"

#include "ui/framework/Dialog.h"

void Pump(int idleMilliseconds) {
    DWORD idleSince = GetTickCount();
    while (GetTickCount() - idleSince < static_cast<DWORD>(idleMilliseconds)) {
        MSG message;
        if (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            ui::DispatchDialogMessage(message);
            idleSince = GetTickCount();
        } else {
            MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
        }
    }
}
