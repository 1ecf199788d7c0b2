#include "cmodobject.h"

void CModObject::serialize(Archive &ar)
{
    if (ar.isStoring())
        ar.writer().writeUInt16(0);
    else
        recordVersion = ar.reader().readUInt16();
    ar.string(name);
}
