#include "tagaddressedit.h"

bool TagAddressEdit::acceptsCharacter(QChar character) const
{
    // ASCII digits only: the address parser reads no others.
    return (character >= u'0' && character <= u'9') || character == u'.';
}
