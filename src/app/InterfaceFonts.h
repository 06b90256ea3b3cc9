#pragma once
// The three interface fonts that follow the language: a Korean set for "korea", another set
// for every other language. Selecting the same kind of language again keeps the fonts.
#include <QFont>
#include <string_view>

namespace kx {

enum class FontRole { Bold, Normal, Normal2 };

class InterfaceFonts {
  public:
    void Select(std::string_view language, int displayScale);
    const QFont& Font(FontRole role) const;

    // Character height in pixels: 13 at scale 1; at scale 2, 27 or 23 for Korean.
    static int PixelHeight(bool korean, int displayScale);

  private:
    bool korean_ = true;  // the Korean set counts as loaded, so the first other language builds
    bool created_ = false;
    QFont bold_, normal_, normal2_;
};

InterfaceFonts& ViewerFonts();

}  // namespace kx
