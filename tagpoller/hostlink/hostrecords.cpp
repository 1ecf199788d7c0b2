#include "hostrecords.h"

void CReqTag::Serialize(Archive &ar)
{
    ar.int32(requestId);
    ar.string(name);
}

void CAryReqTags::Serialize(Archive &ar)
{
    ar.uint16(header);
    ar.uint16(reserved);
    ar.objectArray(items);
}

void CTxnTag::Serialize(Archive &ar)
{
    ar.int32(requestId);
    ar.bool32(inError);
    ar.embedded(value);
}

void CAryTxnTags::Serialize(Archive &ar)
{
    ar.uint16(reserved);
    ar.objectArray(entries);
}
