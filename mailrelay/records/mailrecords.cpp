#include "mailrecords.h"

void CSMTPDetails::serialize(Archive &ar)
{
    ar.string(channelName);
    ar.string(user);
    ar.string(password);
    ar.int32(reserved);
}

void CMailDetails::serialize(Archive &ar)
{
    ar.string(channelName);
    ar.string(to);
    ar.string(cc);
    ar.string(bcc);
    ar.string(subject);
    ar.string(body);
    ar.string(embeddedFiles);
    ar.int32(html);
}
