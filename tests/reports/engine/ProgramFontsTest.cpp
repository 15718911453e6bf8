// The fonts a program ships beside it: each font file of the folder registered, other files skipped.
#include "agent/reports/engine/ProgramFonts.h"

#include <QFile>
#include <QFontDatabase>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace verolux::reports;

TEST(ProgramFonts, EveryFontFileOfTheFolderAndNothingElse) {
    const QString wqy = QStringLiteral("/usr/share/fonts/truetype/wqy/wqy-microhei.ttc");
    if (!QFile::exists(wqy)) GTEST_SKIP() << "fonts-wqy-microhei is not installed";
    QTemporaryDir dir;
    ASSERT_TRUE(QFile::copy(wqy, dir.filePath(QStringLiteral("wqy-microhei.ttc"))));
    QFile notAFont(dir.filePath(QStringLiteral("readme.ttf")));
    ASSERT_TRUE(notAFont.open(QIODevice::WriteOnly));
    notAFont.write("not a font");
    notAFont.close();
    const QList<int> ids = AddFontsIn(dir.path());
    ASSERT_EQ(ids.size(), 1) << "the font file, not the other one";
    EXPECT_TRUE(
        QFontDatabase::applicationFontFamilies(ids[0]).contains(QStringLiteral("WenQuanYi Micro Hei")));
    // The other tests measure with the fonts as the program has them.
    QFontDatabase::removeApplicationFont(ids[0]);
    EXPECT_TRUE(AddFontsIn(dir.filePath(QStringLiteral("missing"))).isEmpty());
}
