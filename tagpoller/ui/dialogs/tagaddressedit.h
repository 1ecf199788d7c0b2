#pragma once

#include "filteredlineedit.h"

// The edit for tag addresses: decimal digits and "." may be typed.
class TagAddressEdit : public FilteredLineEdit
{
    Q_OBJECT
public:
    using FilteredLineEdit::FilteredLineEdit;

protected:
    bool acceptsCharacter(QChar character) const override;
};
