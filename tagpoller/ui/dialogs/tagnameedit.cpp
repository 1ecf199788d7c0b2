#include "tagnameedit.h"

#include "cmodtag.h"

bool TagNameEdit::acceptsCharacter(QChar character) const
{
    return CModTag::isNameCharacter(character);
}
