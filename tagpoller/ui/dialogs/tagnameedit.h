#pragma once

#include "filteredlineedit.h"

// The edit for tag and tag group names: letters, digits and "_" may be typed.
class TagNameEdit : public FilteredLineEdit
{
    Q_OBJECT
public:
    using FilteredLineEdit::FilteredLineEdit;

protected:
    bool acceptsCharacter(QChar character) const override;
};
