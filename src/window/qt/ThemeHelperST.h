// Answers whether the application draws with a visual style, and gives the
// style to draw with. The toolkit's plain "Windows" style counts as no visual
// style: buttons then draw their own flat background and edges.
#pragma once

class QStyle;

class CThemeHelperST {
 public:
  static bool IsAppThemed();
  // The active style, or null when none is themed.
  static QStyle* OpenThemeData();
};
