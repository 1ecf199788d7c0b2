#include "textincrement.h"

#include <gtest/gtest.h>

namespace {

struct IncrementRow
{
    const char *name;
    const char16_t *text;
    const char16_t *next;
};

void PrintTo(const IncrementRow &row, std::ostream *os)
{
    *os << row.name;
}

class IncrementedTextTest : public ::testing::TestWithParam<IncrementRow>
{};

TEST_P(IncrementedTextTest, GivesTheNextOfTheSeries)
{
    const IncrementRow &row = GetParam();
    EXPECT_EQ(incrementedText(QStringView(row.text)).toStdString(),
              QString::fromUtf16(row.next).toStdString());
}

INSTANTIATE_TEST_SUITE_P(
    Rows, IncrementedTextTest,
    ::testing::Values(IncrementRow{"name-carries-into-new-digit", u"Tag_9", u"Tag_10"},
                      IncrementRow{"name-without-digits-unchanged", u"Tag", u"Tag"},
                      IncrementRow{"empty-unchanged", u"", u""},
                      IncrementRow{"digits-only-at-the-end-count", u"T1x", u"T1x"},
                      IncrementRow{"name-loses-leading-zeros", u"Tag_09", u"Tag_10"},
                      IncrementRow{"holding-register", u"400001", u"400002"},
                      IncrementRow{"coil-keeps-six-digits", u"000009", u"000010"},
                      IncrementRow{"coil-at-65535-keeps-six-digits", u"065535", u"065536"},
                      IncrementRow{"coil-past-65536-not-filled", u"065536", u"65537"},
                      IncrementRow{"short-coil-filled-to-six", u"05", u"000006"},
                      IncrementRow{"all-zeros", u"000", u"000001"},
                      IncrementRow{"zero-only-filled-when-prefix-empty", u"T000", u"T1"},
                      IncrementRow{"register-bit", u"400001.15", u"400001.16"},
                      IncrementRow{"register-bit-past-16", u"400001.16", u"400001.17"},
                      IncrementRow{"register-bit-leading-zero", u"400001.09", u"400001.10"},
                      IncrementRow{"nine-digit-address-grows", u"999999999", u"1000000000"},
                      IncrementRow{"long-run-does-not-overflow", u"T99999999999999999999",
                                   u"T100000000000000000000"},
                      IncrementRow{"letters-of-other-scripts-kept", u"Zähler_7", u"Zähler_8"}),
    [](const ::testing::TestParamInfo<IncrementRow> &info) {
        std::string name = info.param.name;
        for (char &c : name) {
            if (c == '-')
                c = '_';
        }
        return name;
    });

} // namespace
