#include "cmodtag.h"

void CModTag::serialize(Archive &ar)
{
    quint16 recordVersion = 0;
    ar.uint16(recordVersion);
    ar.string(TagName);
    ar.string(Description);
    ar.string(TagAddress);
    ar.int32(AddressNumber);
    ar.uint8(BitNumber);
    ar.int32(DataType);
    ar.int32(ClientAccess);
    ar.int32(ScanRate);
}

bool CModTag::isValidName(QStringView name)
{
    if (name.isEmpty())
        return false;
    for (QChar c : name) {
        if (!isNameCharacter(c))
            return false;
    }
    return true;
}
