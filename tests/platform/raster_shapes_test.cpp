// Shapes, pictures and turned or aligned text of the raster surface, pixel for pixel: the same
// box rule as rectangles (right and bottom exclusive) and the same lines for outlines.
#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <limits>
#include <string>
#include <vector>

#include "platform/raster_surface.h"

using namespace ninetrace;

namespace {

constexpr TColorRef Pen = 0x000000FF, Brush = 0x0000FF00;

// The image as rows of '.', 'P' (pen), 'B' (brush) or '?' for anything else.
std::vector<std::string> Picture(const TRasterImage& img, TRect r) {
  std::vector<std::string> rows;
  for (std::int32_t y = r.Top; y < r.Bottom; ++y) {
    std::string row;
    for (std::int32_t x = r.Left; x < r.Right; ++x) {
      const TColorRef c = img.PixelColor(x, y);
      row += c == 0 ? '.' : c == Pen ? 'P' : c == Brush ? 'B' : '?';
    }
    rows.push_back(row);
  }
  return rows;
}

struct Surface {
  TRasterImage img{40, 30};
  TRasterSurface s{&img};
  Surface(std::int32_t penWidth = 1, TBrushStyle brush = bsSolid) {
    s.SetPen(Pen, penWidth);
    s.SetBrush(Brush, brush);
  }
  // Whether anything outside the box (corners in any order) was touched.
  bool OnlyInside(TRect box) const {
    for (std::int32_t y = 0; y < img.Height(); ++y)
      for (std::int32_t x = 0; x < img.Width(); ++x)
        if (!box.Contains(x, y) && img.PixelColor(x, y) != 0) return false;
    return true;
  }
};

TEST(Shapes, SmallCircleOutlinedFromTheInside) {
  Surface a;
  a.s.Ellipse(2, 3, 7, 8);
  EXPECT_EQ(Picture(a.img, {1, 2, 8, 9}), (std::vector<std::string>{".......",  //
                                                                      "..PPP..",  //
                                                                      ".PBBBP.",  //
                                                                      ".PBBBP.",  //
                                                                      ".PBBBP.",  //
                                                                      "..PPP..",  //
                                                                      "......."}));
}

struct ShapeRow {
  const char* name;
  std::function<void(TRasterSurface&)> draw;
  TRect box;  // where the shape may leave pixels
};

void PrintTo(const ShapeRow& row, std::ostream* os) { *os << row.name; }

class ShapeBox : public ::testing::TestWithParam<ShapeRow> {};

// Every shape stays in its box, reaches all four sides of it, and its brush never touches the
// outside: the outline is closed.
TEST_P(ShapeBox, StaysInsideReachesEverySideAndIsClosed) {
  for (const std::int32_t width : {1, 2}) {
    Surface a(width);
    GetParam().draw(a.s);
    const TRect b = GetParam().box;
    EXPECT_TRUE(a.OnlyInside(b)) << "width " << width;
    bool left = false, right = false, top = false, bottom = false;
    for (std::int32_t y = b.Top; y < b.Bottom; ++y) {
      left |= a.img.PixelColor(b.Left, y) == Pen;
      right |= a.img.PixelColor(b.Right - 1, y) == Pen;
    }
    for (std::int32_t x = b.Left; x < b.Right; ++x) {
      top |= a.img.PixelColor(x, b.Top) == Pen;
      bottom |= a.img.PixelColor(x, b.Bottom - 1) == Pen;
    }
    EXPECT_TRUE(left && right && top && bottom) << "width " << width;
    int brush = 0;
    for (std::int32_t y = 1; y + 1 < a.img.Height(); ++y)
      for (std::int32_t x = 1; x + 1 < a.img.Width(); ++x) {
        if (a.img.PixelColor(x, y) != Brush) continue;
        ++brush;
        for (auto [dx, dy] : {std::pair{1, 0}, {-1, 0}, {0, 1}, {0, -1}})
          EXPECT_NE(a.img.PixelColor(x + dx, y + dy), 0u) << x << "," << y << " width " << width;
      }
    EXPECT_GT(brush, 0) << "width " << width;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Rows, ShapeBox,
    ::testing::Values(ShapeRow{"ellipse", [](TRasterSurface& s) { s.Ellipse(3, 4, 30, 20); }, {3, 4, 30, 20}},
                      ShapeRow{"ellipse_corners_swapped", [](TRasterSurface& s) { s.Ellipse(30, 20, 3, 4); }, {3, 4, 30, 20}},
                      ShapeRow{"tall_ellipse", [](TRasterSurface& s) { s.Ellipse(10, 1, 17, 29); }, {10, 1, 17, 29}},
                      ShapeRow{"round_rect", [](TRasterSurface& s) { s.RoundRect(2, 2, 33, 25, 10, 8); }, {2, 2, 33, 25}},
                      ShapeRow{"pie_half", [](TRasterSurface& s) { s.Pie(4, 4, 36, 26, 36, 15, 4, 15); }, {4, 4, 36, 15}},
                      ShapeRow{"pie_three_quarters", [](TRasterSurface& s) { s.Pie(4, 4, 36, 26, 20, 4, 36, 15); }, {4, 4, 36, 26}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Shapes, DegenerateBoxesAndDegenerateCornersMeetTheirNeighbours) {
  Surface a, b;
  a.s.Ellipse(5, 5, 5, 20);  // no width: nothing
  a.s.Pie(5, 5, 20, 5, 0, 0, 1, 1);
  EXPECT_TRUE(a.OnlyInside({0, 0, 0, 0}));

  // Without rounding a rounded rectangle is the rectangle; rounded by its own size, the ellipse.
  a.s.RoundRect(3, 4, 30, 20, 0, 0);
  b.s.Rectangle(3, 4, 30, 20);
  EXPECT_TRUE(a.img.Image() == b.img.Image());
  // (The ellipse finds its outline from three rows, the rounded rectangle from every row in
  // reach: the two must agree for any pen.)
  for (const std::int32_t width : {1, 2, 3, 5, 8}) {
    Surface c(width), d(width);
    c.s.RoundRect(3, 4, 30, 20, 27, 16);
    d.s.Ellipse(3, 4, 30, 20);
    EXPECT_TRUE(c.img.Image() == d.img.Image()) << width;
    Surface e(width), f(width);
    e.s.RoundRect(-7, -3, 44, 36, 51, 39);
    f.s.Ellipse(-7, -3, 44, 36);
    EXPECT_TRUE(e.img.Image() == f.img.Image()) << width;
  }
  Surface c, d;
  c.s.RoundRect(3, 4, 30, 20, 27, 16);
  d.s.Ellipse(3, 4, 30, 20);
  // A pie whose start and end directions agree is the whole ellipse.
  Surface e;
  e.s.Pie(3, 4, 30, 20, 30, 12, 31, 12);
  EXPECT_TRUE(e.img.Image() == d.img.Image());
}

TEST(Shapes, ArcIsTheOutlineOfItsSweepAndNothingElse) {
  Surface whole, arc, quarter;
  whole.s.Ellipse(4, 4, 36, 26);
  arc.s.Arc(4, 4, 36, 26, 36, 15, 36, 15);  // all round
  quarter.s.Arc(4, 4, 36, 26, 40, 15, 20, 0);  // from the right, counter-clockwise up to the top
  int pen = 0;
  for (std::int32_t y = 0; y < 30; ++y)
    for (std::int32_t x = 0; x < 40; ++x) {
      const bool outline = whole.img.PixelColor(x, y) == Pen;
      EXPECT_EQ(arc.img.PixelColor(x, y), outline ? Pen : 0u) << x << "," << y;
      const TColorRef q = quarter.img.PixelColor(x, y);
      if (q != 0) {
        EXPECT_TRUE(outline && x >= 20 && y < 15) << x << "," << y;
        ++pen;
      }
    }
  EXPECT_GT(pen, 10);
}

TEST(Shapes, PolygonFillsPixelCentresAndClosesWithTheLineRule) {
  Surface a;
  a.s.MoveTo(1, 1);
  const TPoint square[] = {{2, 2}, {8, 2}, {8, 6}, {2, 6}};
  a.s.Polygon(square, 4);
  EXPECT_EQ(Picture(a.img, {1, 1, 10, 8}), (std::vector<std::string>{".........",  //
                                                                      ".PPPPPPP.",  //
                                                                      ".PBBBBBP.",  //
                                                                      ".PBBBBBP.",  //
                                                                      ".PBBBBBP.",  //
                                                                      ".PPPPPPP.",  //
                                                                      "........."}));
  EXPECT_EQ(a.s.PenPos(), (TPoint{1, 1}));  // the current position is not moved

  // Not-xor twice restores: every outline pixel, vertices included, is set exactly once.
  Surface b(1, bsClear);
  b.s.SetPen(Pen, 1, psSolid, pmNotXor);
  const TPoint triangle[] = {{3, 3}, {30, 10}, {12, 25}};
  b.s.Polygon(triangle, 3);
  b.s.Polygon(triangle, 3);
  EXPECT_TRUE(b.OnlyInside({0, 0, 0, 0}));
}

TEST(Pictures, DrawnAtTheirSizeOrStretchedToTheNearestPixel) {
  TRasterImage picture(2, 2);
  picture.Row(0)[0] = 0xFF0000FF;  // rows hold 0xAARRGGBB
  picture.Row(0)[1] = 0xFF00FF00;
  picture.Row(1)[0] = 0xFFFF0000;
  picture.Row(1)[1] = 0xFFFFFFFF;
  Surface a;
  a.s.DrawImage(5, 6, picture);
  EXPECT_EQ(a.img.PixelRgb(5, 6), 0x0000FFu);
  EXPECT_EQ(a.img.PixelRgb(6, 7), 0xFFFFFFu);
  EXPECT_TRUE(a.OnlyInside({5, 6, 7, 8}));

  Surface b;
  b.s.ClipToRect({0, 0, 40, 13});
  b.s.StretchDrawImage({10, 10, 16, 16}, picture);
  EXPECT_EQ(b.img.PixelRgb(10, 10), 0x0000FFu);
  EXPECT_EQ(b.img.PixelRgb(12, 12), 0x0000FFu);
  EXPECT_EQ(b.img.PixelRgb(13, 12), 0x00FF00u);
  EXPECT_EQ(b.img.PixelRgb(15, 12), 0x00FF00u);
  EXPECT_TRUE(b.OnlyInside({10, 10, 16, 13}));  // the clip cuts the lower half
}

// A shape cut by the clip leaves exactly the pixels the whole shape leaves inside the clip:
// only the clip and the pen's reach around it are looked at, and that must change nothing.
TEST(Shapes, CutByTheClipTheyLeaveWhatTheWholeShapeLeavesInside) {
  const std::function<void(TRasterSurface&)> shapes[] = {
      [](TRasterSurface& s) { s.Ellipse(-20, 3, 50, 27); },
      [](TRasterSurface& s) { s.Pie(-10, -15, 45, 28, 45, 5, -10, 20); },     // more than half: two runs a row
      [](TRasterSurface& s) { s.Arc(2, -30, 38, 25, 38, 0, 2, 0); },
      [](TRasterSurface& s) { s.RoundRect(-5, 4, 36, 40, 14, 12); },
      [](TRasterSurface& s) { const TPoint p[] = {{-9, 2}, {35, 12}, {5, 40}, {20, 14}}; s.Polygon(p, 4); }};
  const TRect clips[] = {{7, 5, 23, 19}, {0, 0, 40, 30}, {30, 20, 60, 60}, {11, 11, 12, 12}};
  for (std::size_t i = 0; i < std::size(shapes); ++i)
    for (const std::int32_t width : {1, 3, 9})
      for (const TRect& clip : clips) {
        Surface whole(width), cut(width);
        shapes[i](whole.s);
        cut.s.ClipToRect(clip);
        shapes[i](cut.s);
        for (std::int32_t y = 0; y < 30; ++y)
          for (std::int32_t x = 0; x < 40; ++x)
            ASSERT_EQ(cut.img.PixelColor(x, y), clip.Contains(x, y) ? whole.img.PixelColor(x, y) : 0u)
                << "shape " << i << " width " << width << " clip " << clip.Left << "," << clip.Top << " at " << x << "," << y;
      }
}

// What cannot be drawn is skipped, and what can costs what its visible part costs: shapes and
// pictures far larger than the image, and pens far wider than it, finish at once (each took
// from seconds to minutes, or crashed, when the whole box was walked). The ceiling is generous
// for a loaded machine.
struct CostRow {
  const char* name;
  std::function<void(TRasterSurface&)> draw;
  TColorRef colour;  // of the pixel at `at` afterwards
  TPoint at{200, 150};
};
void PrintTo(const CostRow& row, std::ostream* os) { *os << row.name; }
class BoundedCost : public ::testing::TestWithParam<CostRow> {};

TEST_P(BoundedCost, FinishesAtOnceAndDrawsTheVisiblePart) {
  TRasterImage img(400, 300);
  TRasterSurface s(&img);
  s.SetPen(Pen, 1);
  s.SetBrush(Brush, bsSolid);
  const auto start = std::chrono::steady_clock::now();
  GetParam().draw(s);
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  EXPECT_LT(seconds, 2.0);
  EXPECT_EQ(img.PixelColor(GetParam().at.X, GetParam().at.Y), GetParam().colour);
}

constexpr std::int32_t Big = 1 << 24, Huge = std::numeric_limits<std::int32_t>::max();

INSTANTIATE_TEST_SUITE_P(
    Rows, BoundedCost,
    ::testing::Values(
        CostRow{"pie_in_a_16000_box", [](TRasterSurface& s) { s.Pie(-7800, -7850, 8200, 8150, 8200, 150, 200, -7850); }, Brush, {250, 100}},
        CostRow{"ellipse_in_the_largest_box", [](TRasterSurface& s) { s.Ellipse(200 - Big / 2, 150 - Big / 2, 200 + Big / 2, 150 + Big / 2); }, Brush},
        CostRow{"ellipse_edge_through_the_image", [](TRasterSurface& s) { s.Ellipse(200, -8000, 16200, 8000); }, Pen, {200, 0}},
        CostRow{"arc_in_a_16000_box", [](TRasterSurface& s) { s.Arc(-7800, 150, 8200, 16150, 8200, 0, -7800, 0); }, Pen},
        CostRow{"round_rect_in_the_largest_box", [](TRasterSurface& s) { s.RoundRect(-Big / 2, -Big / 2, Big / 2, Big / 2, 5000, 5000); }, Brush},
        CostRow{"polygon_over_two_billion_rows", [](TRasterSurface& s) { const TPoint p[] = {{-Huge, -Huge}, {Huge, 0}, {-Huge, Huge}}; s.Polygon(p, 3); }, Brush},
        CostRow{"outline_pen_wider_than_the_box_is_all_pen", [](TRasterSurface& s) { s.SetPen(Pen, 1 << 30); s.Ellipse(-8000, -8000, 8400, 8300); }, Pen},
        CostRow{"pie_with_a_pen_almost_half_its_box", [](TRasterSurface& s) { s.SetPen(Pen, 7000); s.Pie(-7800, -7850, 8200, 8150, 8200, 150, 200, -7850); }, Pen, {300, 50}},
        CostRow{"rounded_box_with_a_pen_of_a_quarter_of_it", [](TRasterSurface& s) { s.SetPen(Pen, Big / 4); s.RoundRect(-Big / 2, -Big / 2, Big / 2, Big / 2, Big / 3, Big / 3); }, Brush},
        CostRow{"outline_pen_of_half_the_largest_box", [](TRasterSurface& s) { s.SetPen(Pen, Big / 2 - 1); s.Ellipse(200 - Big / 2, 150 - Big / 2, 200 + Big / 2, 150 + Big / 2); }, Brush},
        CostRow{"picture_stretched_past_two_billion_pixels", [](TRasterSurface& s) {
          TRasterImage picture(2, 1);
          picture.Row(0)[0] = 0xFF000000u | ColorRefToRgb(Brush);
          picture.Row(0)[1] = 0xFF000000u | ColorRefToRgb(Pen);
          s.StretchDrawImage({-Huge + 1, 0, Huge, 300}, picture);  // the left half ends at 0 on the image
        }, Pen},
        CostRow{"picture_at_the_end_of_the_range", [](TRasterSurface& s) { TRasterImage p(3, 3); s.DrawImage(Huge - 1, Huge - 1, p); }, 0},
        CostRow{"pen_a_billion_wide", [](TRasterSurface& s) { s.SetPen(Pen, 1 << 30); s.MoveTo(-Huge, 5); s.LineTo(Huge, 5000); }, Pen},
        CostRow{"dotted_pen_a_million_wide", [](TRasterSurface& s) { s.SetPen(Pen, 1 << 20, psDot); s.MoveTo(-Huge, 150); s.LineTo(Huge, 150); }, Pen},
        CostRow{"pen_2000_wide_keeps_its_width", [](TRasterSurface& s) { s.SetPen(Pen, 2000); s.MoveTo(200, -850); s.LineTo(200, -849); }, Pen}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Monochrome, EveryColourBecomesTheNearerOfBlackAndWhite) {
  struct Row {
    std::uint32_t rgb, expected;
  };
  const Row rows[] = {{0x000000, 0x000000}, {0xFFFFFF, 0xFFFFFF}, {0xFF0000, 0x000000},
                      {0x808080, 0xFFFFFF}, {0x7F7F7F, 0x000000}, {0xFFFF00, 0xFFFFFF}};
  TRasterImage img(6, 1);
  for (int i = 0; i < 6; ++i) img.Row(0)[i] = 0xFF000000u | rows[i].rgb;
  img.MakeMonochrome();
  for (int i = 0; i < 6; ++i) EXPECT_EQ(img.PixelRgb(i, 0), rows[i].expected) << std::hex << rows[i].rgb;
}

struct Text {
  TRasterImage img{120, 120};
  TRasterSurface s{&img};
  Text() { s.SetFont("Arial", 8, 0xFFFFFF); }
};

TEST(TurnedText, QuarterTurnsStandTheTextOnItsEnd) {
  const QString text = "1,234.5";
  Text flat, up, upAgain;
  flat.s.TextOut(40, 60, text, THorzAlign::Left, TVertAlign::Top);
  Text zero;
  zero.s.TextOutRotated(40, 60, 0, text);
  EXPECT_TRUE(zero.img.Image() == flat.img.Image());

  up.s.TextOutRotated(40, 60, 90, text);
  upAgain.s.TextOutRotated(40, 60, 450, text);  // above 360 is reduced by 360
  EXPECT_TRUE(up.img.Image() == upAgain.img.Image());
  const std::int32_t w = up.s.TextWidth(text), h = up.s.TextHeight(text);
  int ink = 0;
  for (std::int32_t y = 0; y < 120; ++y)
    for (std::int32_t x = 0; x < 120; ++x) {
      const std::uint32_t p = up.img.PixelRgb(x, y);
      EXPECT_TRUE(p == 0 || p == 0xFFFFFF) << x << "," << y;  // hard edges only
      if (p == 0) continue;
      ++ink;
      EXPECT_TRUE(x >= 40 && x < 40 + h && y > 60 - w - 1 && y <= 60) << x << "," << y;
    }
  EXPECT_GT(ink, 10);
}

TEST(TextAlignment, StoredFlagsPlaceTheTextAsExplicitAlignmentDoes) {
  struct Row {
    std::uint32_t flags;
    THorzAlign h;
    TVertAlign v;
  };
  const Row rows[] = {{taLeft | taTop, THorzAlign::Left, TVertAlign::Top},
                      {taRight | taBottom, THorzAlign::Right, TVertAlign::Bottom},
                      {taCentre | taBaseline, THorzAlign::Centre, TVertAlign::Baseline}};
  for (const Row& row : rows) {
    Text stored, given;
    stored.s.SetTextAlign(row.flags);
    EXPECT_EQ(stored.s.TextAlign(), row.flags);
    stored.s.TextOut(60, 60, "W10");
    given.s.TextOut(60, 60, "W10", row.h, row.v);
    EXPECT_TRUE(stored.img.Image() == given.img.Image()) << row.flags;
  }
}

}  // namespace
