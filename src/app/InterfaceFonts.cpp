#include "app/InterfaceFonts.h"

#include <QFontDatabase>
#include <QStringList>

namespace kx {
namespace {

QStringList Families(bool korean) {
    // "MS Shell Dlg" is the desktop's sans face; Noto CJK supplies the Japanese and Korean
    // glyph shapes.
    if (korean) return {QStringLiteral("Noto Sans CJK KR"), QStringLiteral("sans-serif")};
    QString sans = QFontDatabase::systemFont(QFontDatabase::GeneralFont).family();
    return {sans, QStringLiteral("Noto Sans CJK JP")};
}

QFont MakeFont(const QStringList& families, int weight, int pixelHeight) {
    QFont font;
    font.setFamilies(families);
    font.setWeight(static_cast<QFont::Weight>(weight));
    font.setPixelSize(pixelHeight);
    return font;
}

}  // namespace

int InterfaceFonts::PixelHeight(bool korean, int displayScale) {
    if (displayScale < 2) return 13;
    return korean ? 23 : 27;
}

void InterfaceFonts::Select(std::string_view language, int displayScale) {
    bool korean = language == "korea";
    if (created_ && korean == korean_ && !korean) return;
    korean_ = korean;
    created_ = true;
    QStringList families = Families(korean);
    int height = PixelHeight(korean, displayScale);
    bold_ = MakeFont(families, 700, height);
    normal_ = MakeFont(families, 400, height);
    normal2_ = MakeFont(families, 400, height);
}

const QFont& InterfaceFonts::Font(FontRole role) const {
    switch (role) {
        case FontRole::Bold:
            return bold_;
        case FontRole::Normal2:
            return normal2_;
        case FontRole::Normal:
            break;
    }
    return normal_;
}

InterfaceFonts& ViewerFonts() {
    static InterfaceFonts fonts;
    return fonts;
}

}  // namespace kx
