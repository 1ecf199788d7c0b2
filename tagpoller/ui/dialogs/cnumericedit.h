#pragma once

#include "ceditbase.h"

// The edit for tag addresses: decimal digits and "." may be typed.
class CNumericEdit : public CEditBase
{
    Q_OBJECT
public:
    using CEditBase::CEditBase;

protected:
    bool acceptsCharacter(QChar character) const override;
};
