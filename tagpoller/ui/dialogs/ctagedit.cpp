#include "ctagedit.h"

#include "cmodtag.h"

bool CTagEdit::acceptsCharacter(QChar character) const
{
    return CModTag::isNameCharacter(character);
}
