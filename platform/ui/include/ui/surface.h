// The one drawing layer: a surface that draws lines, polylines, filled rectangles, aligned text
// and pictures, in pixels from the top left, with colours as 0x00BBGGRR. Picture boxes, the plot
// control and the control's design-time picture all draw on it. A recording surface keeps the
// calls in order with their arguments, for tests; a picture is an image that can be drawn on,
// read pixel by pixel and saved as PNG.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <variant>
#include <vector>

namespace ui {

using Colour = std::uint32_t;  // 0x00BBGGRR
inline constexpr Colour kBlack = 0x000000;
inline constexpr Colour kWhite = 0xFFFFFF;
inline constexpr Colour kRed = 0x0000FF;
inline constexpr Colour kBlue = 0xFF0000;

struct Point {
    int x;
    int y;
    bool operator==(const Point&) const = default;
};

struct Rect {
    int left;
    int top;
    int width;
    int height;
    bool operator==(const Rect&) const = default;
};

enum class Align { Left, Centre, Right };

class Picture;

class Surface {
  public:
    virtual ~Surface() = default;
    virtual int Width() const = 0;
    virtual int Height() const = 0;
    // The pen of the line calls that follow.
    virtual void SetPen(Colour colour, int width) = 0;
    virtual void Line(Point from, Point to) = 0;
    virtual void Polyline(const std::vector<Point>& points) = 0;
    virtual void FillRect(Rect rect, Colour colour) = 0;
    // Text in the pen's colour, vertically centred in the rectangle, aligned as given.
    virtual void Text(Rect rect, const std::string& text, Align align) = 0;
    // A picture at its own size with its top left at the point.
    virtual void DrawPicture(const Picture& picture, Point at) = 0;
};

// One recorded call and its arguments.
struct DrawCall {
    enum class Kind { SetPen, Line, Polyline, FillRect, Text, DrawPicture } kind;
    Colour colour = 0;
    int width = 0;
    std::vector<Point> points;  // Line: from, to; Polyline: all; DrawPicture: the corner
    Rect rect{};
    std::string text;
    Align align = Align::Left;
};

// Records every call; forwards each to another surface when given one.
class RecordingSurface : public Surface {
  public:
    RecordingSurface(int width, int height, Surface* forward = nullptr);
    int Width() const override { return width_; }
    int Height() const override { return height_; }
    void SetPen(Colour colour, int width) override;
    void Line(Point from, Point to) override;
    void Polyline(const std::vector<Point>& points) override;
    void FillRect(Rect rect, Colour colour) override;
    void Text(Rect rect, const std::string& text, Align align) override;
    void DrawPicture(const Picture& picture, Point at) override;

    const std::vector<DrawCall>& Calls() const { return calls_; }

  private:
    int width_;
    int height_;
    Surface* forward_;
    std::vector<DrawCall> calls_;
};

// An image in memory. Copies share nothing.
class Picture {
  public:
    Picture();  // empty: 0 by 0
    Picture(int width, int height, Colour fill = kWhite);
    Picture(const Picture& other);
    Picture& operator=(const Picture& other);
    Picture(Picture&&) noexcept;
    Picture& operator=(Picture&&) noexcept;
    ~Picture();

    // A picture read from an image file; empty when it cannot be read.
    static Picture Load(const std::string& path);

    bool Empty() const;
    int Width() const;
    int Height() const;
    Colour Pixel(int x, int y) const;
    // Writes a PNG file; false when it cannot.
    bool SavePng(const std::string& path) const;
    // A surface that draws on this picture; the drawing is complete when the surface is gone.
    std::unique_ptr<Surface> Paint();

    struct Impl;
    Impl* impl() const { return impl_.get(); }

  private:
    std::unique_ptr<Impl> impl_;
};

}  // namespace ui
