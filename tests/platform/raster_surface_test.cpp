// The raster surface checked pixel for pixel against its drawing rules written out directly.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <limits>
#include <random>
#include <string>
#include <tuple>
#include <vector>

#include "platform/raster_surface.h"

using namespace ninetrace;

namespace {

__extension__ typedef __int128 TWide;
constexpr std::int32_t W = 64, H = 48;
constexpr TColorRef Pen = 0x00336699, Back = 0x00C0FFEE;

std::int64_t Sign(std::int64_t v) { return (v > 0) - (v < 0); }

// Calls fn(i, x, y) for each pixel i of the line rule whose major coordinate lies in
// [-margin, extent + margin); walking the image rather than the line keeps huge lines cheap.
template <class Fn>
void ForRulePixels(std::int64_t x0, std::int64_t y0, std::int64_t x1, std::int64_t y1, bool withEnd,
                   std::int32_t margin, Fn fn) {
  const std::int64_t dx = std::llabs(x1 - x0), dy = std::llabs(y1 - y0);
  const bool xMajor = dx >= dy;
  const std::int64_t dMaj = xMajor ? dx : dy, dMin = xMajor ? dy : dx, a0 = xMajor ? x0 : y0, b0 = xMajor ? y0 : x0;
  const std::int64_t sa = xMajor ? Sign(x1 - x0) : Sign(y1 - y0), sb = xMajor ? Sign(y1 - y0) : Sign(x1 - x0);
  const std::int64_t n = dMaj + (withEnd ? 1 : 0);
  for (std::int64_t a = -margin; a < (xMajor ? W : H) + margin; ++a) {
    const std::int64_t i = sa == 0 ? (a == a0 ? 0 : -1) : (a - a0) * sa;
    if (i < 0 || i >= n) continue;
    const std::int64_t b = b0 + sb * (dMaj == 0 ? 0 : static_cast<std::int64_t>((TWide{2} * i * dMin + dMaj) / (2 * dMaj)));
    if (xMajor) fn(i, a, b); else fn(i, b, a);
  }
}

bool Inside(const TRect& clip, std::int64_t x, std::int64_t y) {
  return x >= clip.Left && x < clip.Right && y >= clip.Top && y < clip.Bottom;
}

void FillNoise(TRasterImage& img, std::mt19937& rng) {
  for (std::int32_t y = 0; y < img.Height(); ++y)
    for (std::int32_t x = 0; x < img.Width(); ++x) img.Row(y)[x] = 0xFF000000u | (rng() & 0xFFFFFFu);
}

struct TLine {
  std::int32_t x0, y0, x1, y1;
};
std::ostream& operator<<(std::ostream& os, const TLine& l) {
  return os << "(" << l.x0 << "," << l.y0 << ")-(" << l.x1 << "," << l.y1 << ")";
}

void Draw(TRasterSurface& s, const TLine& l) {
  s.MoveTo(l.x0, l.y0);
  s.LineTo(l.x1, l.y1);
}

// Mostly short lines near and across the edges, a quarter axis-aligned, some with huge ends.
TLine RandomLine(std::mt19937& rng) {
  std::uniform_int_distribution<std::int32_t> near(-16, W + 16), kind(0, 11);
  const std::int32_t extremes[] = {-32766, 32766, std::numeric_limits<std::int32_t>::min(),
                                   std::numeric_limits<std::int32_t>::max()};
  TLine l{near(rng), near(rng), near(rng), near(rng)};
  const int k = kind(rng);
  if (k < 2) l.x1 = l.x0;
  else if (k < 4) l.y1 = l.y0;
  else if (k == 4) l.x1 = extremes[rng() % 4];
  else if (k == 5) l.y0 = extremes[rng() % 4], l.x0 = extremes[rng() % 4];
  return l;
}

struct TPenRow {
  const char* name;
  std::int32_t width;
  TPenStyle style;
  TPenMode mode;
  TBackgroundMode background;
};
void PrintTo(const TPenRow& row, std::ostream* os) { *os << row.name; }

// A wide solid stroke: the round brush stamped on every pixel including the end; beyond the
// brush table (1024), every pixel whose centre lies within half the width of the segment.
void StrokeExpected(TRasterImage& img, const TRect& clip, std::int64_t x0, std::int64_t y0, std::int64_t x1,
                    std::int64_t y1, std::int32_t w, TColorRef colour) {
  const std::uint32_t argb = 0xFF000000u | ColorRefToRgb(colour);
  if (w > 1024) {
    const long double r = w / 2.0L, dx = x1 - x0, dy = y1 - y0, l2 = dx * dx + dy * dy;
    for (std::int32_t y = clip.Top; y < clip.Bottom; ++y)
      for (std::int32_t x = clip.Left; x < clip.Right; ++x) {
        const long double t = l2 == 0 ? 0 : std::clamp(((x - x0) * dx + (y - y0) * dy) / l2, 0.0L, 1.0L);
        const long double ex = x - (x0 + t * dx), ey = y - (y0 + t * dy);
        if (ex * ex + ey * ey <= r * r) img.Row(y)[x] = argb;
      }
    return;
  }
  const std::int32_t odd = w % 2;
  ForRulePixels(x0, y0, x1, y1, true, w, [&](std::int64_t, std::int64_t px, std::int64_t py) {
    for (std::int32_t oy = -(w / 2); oy <= (w - 1) / 2; ++oy)
      for (std::int32_t ox = -(w / 2); ox <= (w - 1) / 2; ++ox)
        if ((2 * ox + 1 - odd) * (2 * ox + 1 - odd) + (2 * oy + 1 - odd) * (2 * oy + 1 - odd) <= w * w &&
            Inside(clip, px + ox, py + oy))
          img.Row(static_cast<std::int32_t>(py + oy))[px + ox] = argb;
  });
}

// A wide dotted pen keeps its style: dashes of 3 widths every 6 along the line rule, each the
// stroke between its first and last pixel; opaque, the whole stroke in the background first.
void DottedStrokeExpected(TRasterImage& img, const TRect& clip, const TLine& l, const TPenRow& pen) {
  const std::int32_t w = pen.width;
  if (pen.background == bmOpaque) StrokeExpected(img, clip, l.x0, l.y0, l.x1, l.y1, w, Back);
  const std::int64_t dx = std::llabs(std::int64_t{l.x1} - l.x0), dy = std::llabs(std::int64_t{l.y1} - l.y0);
  const std::int64_t steps = std::max(dx, dy) + 1, dash = 3 * w;
  std::vector<std::int64_t> dashes;
  ForRulePixels(l.x0, l.y0, l.x1, l.y1, true, 2 * w, [&](std::int64_t i, std::int64_t, std::int64_t) {
    if (i % (2 * dash) < dash && (dashes.empty() || dashes.back() != i / (2 * dash))) dashes.push_back(i / (2 * dash));
  });
  auto at = [&](std::int64_t i) {  // pixel i of the line rule
    std::int64_t px = 0, py = 0;
    const bool xMajor = dx >= dy;
    const std::int64_t dMaj = std::max(dx, dy), dMin = std::min(dx, dy);
    const std::int64_t minor = dMaj == 0 ? 0 : static_cast<std::int64_t>((TWide{2} * i * dMin + dMaj) / (2 * dMaj));
    px = l.x0 + Sign(std::int64_t{l.x1} - l.x0) * (xMajor ? i : minor);
    py = l.y0 + Sign(std::int64_t{l.y1} - l.y0) * (xMajor ? minor : i);
    return std::pair{px, py};
  };
  for (const std::int64_t k : dashes) {
    const auto [ax, ay] = at(k * 2 * dash);
    const auto [bx, by] = at(std::min(k * 2 * dash + dash, steps) - 1);
    StrokeExpected(img, clip, ax, ay, bx, by, w, Pen);
  }
}

// What the surface must produce: width 1 by the line rule and its pattern, wider as strokes.
void DrawExpected(TRasterImage& img, const TRect& clipArg, const TLine& l, const TPenRow& pen) {
  TRect clip;
  IntersectRect(clipArg, {0, 0, W, H}, clip);
  if (pen.width >= 2 && pen.style == psDot) {
    DottedStrokeExpected(img, clip, l, pen);
    return;
  }
  if (pen.width >= 2) {
    StrokeExpected(img, clip, l.x0, l.y0, l.x1, l.y1, pen.width, Pen);
    return;
  }
  ForRulePixels(l.x0, l.y0, l.x1, l.y1, false, 0, [&](std::int64_t i, std::int64_t x, std::int64_t y) {
    if (!Inside(clip, x, y)) return;
    const bool on = pen.style == psSolid || (pen.style == psAlternate && i % 2 == 0) || (pen.style == psDot && i % 6 < 3);
    if (!on && !(pen.style == psDot && pen.background == bmOpaque)) return;
    const std::uint32_t rgb = ColorRefToRgb(on ? Pen : Back);
    std::uint32_t& p = img.Row(static_cast<std::int32_t>(y))[x];
    p = pen.mode == pmCopy ? (0xFF000000u | rgb) : (p ^ (~rgb & 0xFFFFFFu));
  });
}

class LineRule : public ::testing::TestWithParam<TPenRow> {};

TEST_P(LineRule, RandomLinesMatchTheRuleInsideTheClip) {
  const TPenRow& pen = GetParam();
  std::mt19937 rng(1234);
  TRasterImage noise(W, H), got(W, H), want(W, H);
  FillNoise(noise, rng);
  std::uniform_int_distribution<std::int32_t> cx(-4, W + 4), cy(-4, H + 4);
  TRasterSurface surface;
  surface.SetPen(Pen, pen.width, pen.style, pen.mode);
  surface.SetBackgroundColor(Back);
  surface.SetBackgroundMode(pen.background);
  for (int n = 0; n < 3000; ++n) {
    const TLine l = RandomLine(rng);
    const TRect clip = n % 2 ? TRect{0, 0, W, H} : TRect{cx(rng), cy(rng), cx(rng), cy(rng)};
    got.Image() = noise.Image().copy();
    want.Image() = noise.Image().copy();
    surface.SetTarget(&got);
    surface.ClipToRect(clip);
    Draw(surface, l);
    DrawExpected(want, clip, l, pen);
    ASSERT_TRUE(got.Image() == want.Image()) << l << " clip " << clip.Left << "," << clip.Top << ","
                                             << clip.Right << "," << clip.Bottom;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Pens, LineRule,
    ::testing::Values(TPenRow{"solid", 1, psSolid, pmCopy, bmOpaque},
                      TPenRow{"not_xor", 1, psSolid, pmNotXor, bmOpaque},
                      TPenRow{"alternate", 1, psAlternate, pmCopy, bmOpaque},
                      TPenRow{"dot_transparent", 1, psDot, pmCopy, bmTransparent},
                      TPenRow{"dot_opaque_not_xor", 1, psDot, pmNotXor, bmOpaque},
                      TPenRow{"width2", 2, psSolid, pmCopy, bmOpaque},
                      TPenRow{"width3_dotted_keeps_its_style", 3, psDot, pmCopy, bmOpaque},
                      TPenRow{"width2_dotted_transparent", 2, psDot, pmCopy, bmTransparent},
                      TPenRow{"width1500_past_the_brush_table", 1500, psSolid, pmCopy, bmOpaque},
                      TPenRow{"width1500_dotted", 1500, psDot, pmCopy, bmTransparent},
                      TPenRow{"width4", 4, psSolid, pmCopy, bmOpaque},
                      TPenRow{"width7", 7, psSolid, pmCopy, bmOpaque}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Lines, EndPixelExcludedAndPatternsRestartAtEveryLineTo) {
  TRasterImage img(20, 3);
  TRasterSurface s(&img);
  s.SetPen(Pen, 1, psAlternate);
  Draw(s, {0, 1, 5, 1});
  s.LineTo(10, 1);
  Draw(s, {3, 2, 3, 2});  // zero length: nothing
  std::string row;
  for (std::int32_t x = 0; x < 12; ++x) row += img.PixelColor(x, 1) == Pen ? '#' : '.';
  EXPECT_EQ(row, "#.#.##.#.#..");
  EXPECT_EQ(img.PixelRgb(3, 2), 0u);
  EXPECT_EQ(s.PenPos(), (TPoint{3, 2}));
}

// One character per pixel: '.' black, 'p' pen, 'b' background colour, 'w' white.
std::vector<std::string> Picture(const TRasterImage& img) {
  std::vector<std::string> rows(static_cast<std::size_t>(img.Height()));
  for (std::int32_t y = 0; y < img.Height(); ++y)
    for (std::int32_t x = 0; x < img.Width(); ++x) {
      const TColorRef c = img.PixelColor(x, y);
      rows[static_cast<std::size_t>(y)] += c == 0 ? '.' : c == Pen ? 'p' : c == Back ? 'b' : c == 0xFFFFFF ? 'w' : '?';
    }
  return rows;
}

TEST(Lines, WidthTwoIsTwoPixelsThickIncludingBothEnds) {
  TRasterImage img(12, 8);
  TRasterSurface s(&img);
  s.SetPen(Pen, 2);
  Draw(s, {2, 1, 6, 1});
  Draw(s, {9, 6, 9, 2});
  EXPECT_EQ(Picture(img), (std::vector<std::string>{".pppppp.....", ".pppppp.pp..", "........pp..", "........pp..",
                                                    "........pp..", "........pp..", "........pp..", "............"}));
}

TEST(Lines, NotXorTwiceRestoresEveryPixel) {
  std::mt19937 rng(99);
  TRasterImage img(W, H);
  FillNoise(img, rng);
  const QImage before = img.Image().copy();
  TRasterSurface s(&img);
  s.SetPen(0, 1, psDot, pmNotXor);
  s.SetBrush(Pen, bsClear);
  std::vector<TLine> lines;
  for (int n = 0; n < 200; ++n) lines.push_back(RandomLine(rng));
  for (int pass = 0; pass < 2; ++pass) {
    for (const TLine& l : lines) Draw(s, l);
    s.Rectangle(3, 4, 40, 30);
    EXPECT_EQ(img.Image() == before, pass == 1);
  }
  EXPECT_EQ(img.Image().pixel(0, 0) >> 24, 0xFFu);
}

TEST(Rectangles, NotXorOutlineTogglesEveryBorderPixelOnce) {
  TRasterImage img(16, 7);
  TRasterSurface s(&img);
  s.SetPen(0, 1, psSolid, pmNotXor);
  s.SetBrush(Pen, bsClear);
  s.Rectangle(6, 5, 1, 1);    // corners swapped
  s.Rectangle(8, 1, 9, 5);    // one column
  s.Rectangle(10, 1, 15, 2);  // one row
  s.Rectangle(11, 4, 12, 5);  // one pixel
  s.Rectangle(13, 4, 15, 6);
  EXPECT_EQ(Picture(img), (std::vector<std::string>{"................",
                                                    ".wwwww..w.wwwww.",
                                                    ".w...w..w.......",
                                                    ".w...w..w.......",
                                                    ".wwwww..w..w.ww.",
                                                    ".............ww.",
                                                    "................"}));
}

TEST(Rectangles, FillsAreRightAndBottomExclusiveAndClipped) {
  TRasterImage img(16, 6);
  TRasterSurface s(&img);
  s.SetBrush(Pen);
  s.FillRect({1, 1, 3, 4});
  s.SetPen(Back, 1, psClear);
  s.Rectangle(8, 5, 4, 1);  // no outline: the brush covers [4, 7) x [1, 4)
  s.SetPen(Back);
  s.Rectangle(9, 1, 13, 5);
  s.SetBrush(Back, bsClear);
  s.FillRect({0, 0, 16, 6});
  s.ClipToRect({14, 0, 15, 6});
  s.SetPixel(13, 0, Pen);
  s.SetBrush(Back);
  s.FillRect({-32766, 3, 32766, 32766});
  EXPECT_EQ(Picture(img), (std::vector<std::string>{"................",
                                                    ".pp.ppp..bbbb...",
                                                    ".pp.ppp..bppb...",
                                                    ".pp.ppp..bppb.b.",
                                                    ".........bbbb.b.",
                                                    "..............b."}));
}

TEST(Surface, ClipIntersectsAndResets) {
  TRasterImage img(30, 20);
  TRasterSurface s(&img);
  s.ClipToRect({-5, 4, 10, 50});
  s.ClipToRect({2, 0, 40, 12});
  EXPECT_EQ(s.ClipRect(), (TRect{2, 4, 10, 12}));
  s.RemoveClip();
  EXPECT_EQ(s.ClipRect(), (TRect{0, 0, 30, 20}));
}

TEST(Colours, ConvertBothWaysAndImagesStartBlack) {
  EXPECT_EQ(ColorRefToRgb(0x00112233), 0x00332211u);
  TRasterImage img(4, 4);
  EXPECT_EQ(img.PixelRgb(3, 3), 0u);
  EXPECT_EQ(img.Image().format(), QImage::Format_RGB32);
  TRasterSurface s(&img);
  s.SetPixel(1, 2, 0x0000FF);  // red
  EXPECT_EQ(img.PixelRgb(1, 2), 0xFF0000u);
  EXPECT_EQ(img.PixelColor(1, 2), 0x0000FFu);
  EXPECT_EQ(img.Image().pixel(1, 2), 0xFFFF0000u);
}

TEST(Text, ArialEightPointHasScreenSizedMetrics) {
  TRasterSurface s;  // no target: still 96 dpi
  s.SetFont("Arial", 8, Pen);
  EXPECT_TRUE(s.TextHeight("0") >= 11 && s.TextHeight("0") <= 14) << s.TextHeight("0");
  EXPECT_GT(s.TextWidth("10"), 4);
  EXPECT_LT(s.TextWidth("10"), s.TextWidth("1,234.5"));
}

class TextCell : public ::testing::TestWithParam<std::tuple<THorzAlign, TVertAlign, TBackgroundMode>> {};

TEST_P(TextCell, InkStaysInsideTheAlignedCellAndTheClip) {
  const auto [h, v, mode] = GetParam();
  TRasterImage img(120, 60);
  TRasterSurface s(&img);
  s.SetFont("Arial", 8, 0xFFFFFF);
  s.SetBackgroundColor(Back);
  s.SetBackgroundMode(mode);
  const QString text = "1,234.5";
  const std::int32_t w = s.TextWidth(text), ht = s.TextHeight(text);
  const std::int32_t left = 60 - (h == THorzAlign::Centre ? w / 2 : h == THorzAlign::Right ? w : 0);
  const std::int32_t top = 30 - (v == TVertAlign::Bottom ? ht : 0);
  s.ClipToRect({0, 0, 120, top + ht / 2});  // cuts the cell in half
  s.TextOut(60, 30, text, h, v);
  std::int32_t ink = 0;
  for (std::int32_t y = 0; y < 60; ++y)
    for (std::int32_t x = 0; x < 120; ++x) {
      const std::uint32_t p = img.PixelRgb(x, y);
      const bool inCell = x >= left && x < left + w && y >= top && y < top + ht / 2;
      ink += p == 0xFFFFFFu;
      if (!inCell) EXPECT_EQ(p, 0u) << x << "," << y;
      else EXPECT_TRUE(p == 0xFFFFFFu || p == (mode == bmOpaque ? ColorRefToRgb(Back) : 0u)) << x << "," << y;
    }
  EXPECT_GT(ink, 10);
}

INSTANTIATE_TEST_SUITE_P(Alignments, TextCell,
                         ::testing::Combine(::testing::Values(THorzAlign::Left, THorzAlign::Centre, THorzAlign::Right),
                                            ::testing::Values(TVertAlign::Top, TVertAlign::Bottom),
                                            ::testing::Values(bmTransparent, bmOpaque)));

// A line batch must leave exactly what MoveTo + LineTo leave, for every width, clip and line,
// drawing many lines on one image without looking at the surface again.
TEST(LineBatch, LinesAndColumnsMatchTheSurface) {
  std::mt19937 rng(4321);
  std::uniform_int_distribution<std::int32_t> cx(-4, W + 4), cy(-4, H + 4);
  for (const std::int32_t width : {0, 1, 2, 3, 4, 7, 12}) {
    for (int round = 0; round < 300; ++round) {
      TRasterImage got(W, H), want(W, H);
      FillNoise(got, rng);
      want.Image() = got.Image().copy();
      const TRect clip = round % 2 ? TRect{0, 0, W, H} : TRect{cx(rng), cy(rng), cx(rng), cy(rng)};
      TRasterSurface reference(&want), surface(&got);
      reference.ClipToRect(clip);
      surface.ClipToRect(clip);
      reference.SetPen(Pen, width);
      TLineBatch batch(surface, width);  // not ready when the clip misses the image: nothing to draw
      batch.SetColor(Pen);
      for (int n = 0; n < 12; ++n) {
        TLine l = RandomLine(rng);
        if (n % 3 == 0) {
          // A column, top to bottom inclusive: a width-1 line one pixel longer, or the brush on each pixel.
          const std::int32_t top = std::min(l.y0, l.y1), bottom = std::max(l.y0, l.y1);
          batch.Column(l.x0, top, bottom);
          // At the largest coordinate the extra pixel cannot be named; it lies far off the image.
          const bool longer = width <= 1 && bottom < std::numeric_limits<std::int32_t>::max();
          Draw(reference, {l.x0, top, l.x0, longer ? bottom + 1 : bottom});
        } else {
          if (n % 3 == 1) {  // steep; a step off the largest coordinates would leave the int range
            const std::int64_t x1 = std::int64_t{l.x0} + static_cast<std::int64_t>(rng() % 5) - 2;
            l = {l.x0, l.y0, static_cast<std::int32_t>(std::clamp<std::int64_t>(x1, INT32_MIN, INT32_MAX)), l.y1};
          }
          batch.Line(l.x0, l.y0, l.x1, l.y1);
          Draw(reference, l);
        }
        ASSERT_TRUE(got.Image() == want.Image()) << "width " << width << " " << l << " clip " << clip.Left << ","
                                                 << clip.Top << "," << clip.Right << "," << clip.Bottom;
      }
    }
  }
}

TEST(LineBatch, DetachesASharedImageOnceAndNeedsATarget) {
  TRasterImage img(W, H);
  const QImage copy = img.Image();  // shares the pixels until someone writes
  TRasterSurface surface(&img);
  TLineBatch batch(surface, 1);
  batch.SetColor(Pen);
  batch.Line(0, 5, 20, 5);
  batch.Column(30, 0, H - 1);
  EXPECT_EQ(img.PixelColor(10, 5), Pen);
  EXPECT_EQ(img.PixelColor(30, H - 1), Pen);
  EXPECT_EQ(copy.pixel(10, 5) & 0xFFFFFFu, 0u);

  TRasterSurface none;
  EXPECT_FALSE(TLineBatch(none, 2).Ready());
}

}  // namespace
