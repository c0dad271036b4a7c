// The drawing surface over a QPainter. Private to the forms runtime.
#pragma once

#include <QPainter>

#include "ui/surface.h"

namespace ui {

class PainterSurface : public Surface {
  public:
    PainterSurface(QPaintDevice& device, int width, int height);
    int Width() const override { return width_; }
    int Height() const override { return height_; }
    void SetPen(Colour colour, int width) override;
    void Line(Point from, Point to) override;
    void Polyline(const std::vector<Point>& points) override;
    void FillRect(Rect rect, Colour colour) override;
    void Text(Rect rect, const std::string& text, Align align) override;
    void DrawPicture(const Picture& picture, Point at) override;

  private:
    QPainter painter_;
    int width_;
    int height_;
};

}  // namespace ui
