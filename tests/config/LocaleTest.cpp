// Floats in configuration text use a point whatever the process locale says. The test switches
// the locale of its own process to German (comma as decimal separator), creating the locale
// first when the machine lacks it.
#include "ConfigTestSupport.h"
#include "platform/system/NumberText.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <locale>

namespace {

bool SwitchToGerman()
{
    if (std::setlocale(LC_ALL, "de_DE.UTF-8"))
        return true;
    // localedef may report warnings by its exit code and still install the locale.
    (void)std::system("localedef -i de_DE -f UTF-8 de_DE.UTF-8 >/dev/null 2>&1");
    return std::setlocale(LC_ALL, "de_DE.UTF-8") != nullptr;
}

class CommaLocale : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!SwitchToGerman())
            GTEST_SKIP() << "de_DE.UTF-8 is not available and cannot be generated here";
        std::locale::global(std::locale("de_DE.UTF-8"));
    }
    void TearDown() override
    {
        std::locale::global(std::locale::classic());
        std::setlocale(LC_ALL, "C");
    }
};

} // namespace

TEST_F(CommaLocale, FloatsAreStillReadAndWrittenWithAPoint)
{
    char probe[16];
    std::snprintf(probe, sizeof probe, "%.1f", 1.5);
    ASSERT_STREQ(probe, "1,5") << "the locale does not use a comma, so this test proves nothing";

    EXPECT_EQ(FloatToStr(0.5f), "0.5");
    EXPECT_FLOAT_EQ(StrToFloat("0.25"), 0.25f);
    EXPECT_THROW((void)StrToFloat("0,25"), Exception);

    TDVContext root;
    Load(root, "float f[2]=1.5,2.25");
    EXPECT_FLOAT_EQ(root.GetFloat("f[1]"), 1.5f);
    EXPECT_EQ(root.GetValueText("f"), "1.5,2.25");
    EXPECT_EQ(Written(root), "f=1.5,2.25\r\n");
}
