#include "platform/platform.h"

QString StandardErrorText(const QString &message)
{
    if (!message.isEmpty() && message.back().unicode() > u'.')
        return message + u'.';
    return message;
}

void ShowStandardError(Platform &platform, const QString &message)
{
    platform.showMessage(StandardErrorText(message), QString::fromUtf8(kApplicationTitle),
                         MessageIcon::Error, MessageButtons::Ok);
}
