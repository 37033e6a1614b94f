#pragma once
// Where the new picture shows in a frame of a transition, for every style drawn from the frame size:
// the pieces of the block styles and the row spans of the shape styles. Plain geometry, no pixels.

#include <cstdint>
#include <vector>

#include "slides/transition_styles.h"

namespace tambrel {

// The frame size rule: the major axis of the picture (width, or height when it is the taller side)
// grows with the progress, the other follows with the picture's aspect; the step length is the major
// axis times Step / 90 (at least 1).
struct TFrameSize {
  int Width = 0, Height = 0;
  int StepLength = 1;
  double Fraction = 0;  // the frame's major axis over the picture's
};
TFrameSize FrameSizeOf(int width, int height, int progress, int step);

struct TRect {
  int X = 0, Y = 0, W = 0, H = 0;
  bool Empty() const { return W <= 0 || H <= 0; }
  bool operator==(const TRect&) const = default;
};

// Source of the new picture drawn, scaled if the sizes differ, into Target of the frame.
struct TPiece {
  TRect Target, Source;
  bool MirrorX = false, MirrorY = false;
};

// Block styles: Reveal, Slide, Expand, ExpandIn, Zoom, Unroll and BuildUp.
std::vector<TPiece> BlockPieces(const TStyleGeometry& style, int width, int height, const TFrameSize& frame);

struct TSpan {
  int X0, X1;  // [X0, X1)
};

// Shape styles: Bands, Corner, Circle, Sweep, Starburst, Speckle and Squares. Built once per frame;
// then yields the spans of each row where the new picture shows, left to right and disjoint.
class TShapeCover {
 public:
  TShapeCover(int style, int width, int height, const TFrameSize& frame);
  void RowSpans(int y, std::vector<TSpan>& spans) const;

 private:
  struct TBandState {
    TBandFamily Family;
    int Count = 0;                // bands
    int Extent = 0;               // motion axis length
    std::vector<int> BandOfLine;  // band of each line across the motion
    std::vector<int> BandStart;   // first line of each band (Count + 1 entries)
    std::vector<TSpan> Covered;   // two spans of each band along the motion axis (possibly empty)
  };
  struct TPoint {
    double X, Y;
  };

  void BuildBands(const TBandFamily& family, int index);
  void BuildSectors();
  void BuildCells();
  void BandSpans(const TBandState& bands, int y, std::vector<TSpan>& spans) const;
  void FrontSpans(int y, std::vector<TSpan>& spans) const;
  void SectorSpans(int y, std::vector<TSpan>& spans) const;
  void CellSpans(int y, std::vector<TSpan>& spans) const;

  int Style;
  const TStyleGeometry& Geometry;
  int Width, Height;
  TFrameSize Frame;
  std::vector<TBandState> Bands;
  std::vector<std::vector<TPoint>> Sectors;  // convex polygons
  int CellSize = 1, CellsAcross = 0;
  std::vector<uint8_t> CellShown;
};

// A number in [0, 1) fixed by (style, index): the same frame is drawn the same way every time.
double StyleHash(int style, uint64_t index);

}  // namespace tambrel
