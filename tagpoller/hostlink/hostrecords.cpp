#include "hostrecords.h"

void CReqTag::serialize(Archive &ar)
{
    ar.int32(requestId);
    ar.string(name);
}

void CAryReqTags::serialize(Archive &ar)
{
    ar.uint16(header);
    ar.uint16(reserved);
    ar.objectArray(items);
}

void CTxnTag::serialize(Archive &ar)
{
    ar.int32(requestId);
    ar.bool32(inError);
    ar.embedded(value);
}

void CAryTxnTags::serialize(Archive &ar)
{
    ar.uint16(reserved);
    ar.objectArray(entries);
}
