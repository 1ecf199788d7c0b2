#pragma once

#include "ceditbase.h"

// The edit for tag and tag group names: letters, digits and "_" may be typed.
class CTagEdit : public CEditBase
{
    Q_OBJECT
public:
    using CEditBase::CEditBase;

protected:
    bool acceptsCharacter(QChar character) const override;
};
