#include <QFont>
#include <QPainter>

#include "qt_convert.h"
#include "surface_painter.h"
#include "ui/surface.h"

namespace ui {

RecordingSurface::RecordingSurface(int width, int height, Surface* forward)
    : width_(width), height_(height), forward_(forward) {}

void RecordingSurface::SetPen(Colour colour, int width) {
    calls_.push_back({DrawCall::Kind::SetPen, colour, width, {}, {}, {}, Align::Left});
    if (forward_)
        forward_->SetPen(colour, width);
}

void RecordingSurface::Line(Point from, Point to) {
    calls_.push_back({DrawCall::Kind::Line, 0, 0, {from, to}, {}, {}, Align::Left});
    if (forward_)
        forward_->Line(from, to);
}

void RecordingSurface::Polyline(const std::vector<Point>& points) {
    calls_.push_back({DrawCall::Kind::Polyline, 0, 0, points, {}, {}, Align::Left});
    if (forward_)
        forward_->Polyline(points);
}

void RecordingSurface::FillRect(Rect rect, Colour colour) {
    calls_.push_back({DrawCall::Kind::FillRect, colour, 0, {}, rect, {}, Align::Left});
    if (forward_)
        forward_->FillRect(rect, colour);
}

void RecordingSurface::Text(Rect rect, const std::string& text, Align align) {
    calls_.push_back({DrawCall::Kind::Text, 0, 0, {}, rect, text, align});
    if (forward_)
        forward_->Text(rect, text, align);
}

void RecordingSurface::DrawPicture(const Picture& picture, Point at) {
    calls_.push_back({DrawCall::Kind::DrawPicture,
                      0,
                      0,
                      {at},
                      {at.x, at.y, picture.Width(), picture.Height()},
                      {},
                      Align::Left});
    if (forward_)
        forward_->DrawPicture(picture, at);
}

PainterSurface::PainterSurface(QPaintDevice& device, int width, int height)
    : painter_(&device), width_(width), height_(height) {
    painter_.setRenderHint(QPainter::Antialiasing, false);
    painter_.setPen(QPen(Qt::black, 1));
}

void PainterSurface::SetPen(Colour colour, int width) {
    painter_.setPen(QPen(ToQColor(colour), width));
}

void PainterSurface::Line(Point from, Point to) {
    painter_.drawLine(from.x, from.y, to.x, to.y);
}

void PainterSurface::Polyline(const std::vector<Point>& points) {
    QVector<QPoint> qpoints;
    qpoints.reserve(static_cast<qsizetype>(points.size()));
    for (const Point& p : points)
        qpoints.push_back(QPoint(p.x, p.y));
    painter_.drawPolyline(qpoints.data(), static_cast<int>(qpoints.size()));
}

void PainterSurface::FillRect(Rect rect, Colour colour) {
    painter_.fillRect(rect.left, rect.top, rect.width, rect.height, ToQColor(colour));
}

void PainterSurface::Text(Rect rect, const std::string& text, Align align) {
    Qt::Alignment flags = Qt::AlignVCenter;
    flags |= align == Align::Left     ? Qt::AlignLeft
             : align == Align::Centre ? Qt::AlignHCenter
                                      : Qt::AlignRight;
    painter_.drawText(QRect(rect.left, rect.top, rect.width, rect.height), flags, Q(text));
}

void PainterSurface::DrawPicture(const Picture& picture, Point at) {
    if (!picture.Empty())
        painter_.drawImage(QPoint(at.x, at.y), picture.impl()->image);
}

namespace {

class PictureSurface : public PainterSurface {
  public:
    explicit PictureSurface(QImage& image) : PainterSurface(image, image.width(), image.height()) {}
};

}  // namespace

Picture::Picture() : impl_(std::make_unique<Impl>()) {}

Picture::Picture(int width, int height, Colour fill) : impl_(std::make_unique<Impl>()) {
    impl_->image = QImage(width, height, QImage::Format_RGB32);
    impl_->image.fill(ToQColor(fill));
}

Picture::Picture(const Picture& other) : impl_(std::make_unique<Impl>()) {
    impl_->image = other.impl_->image.copy();
}

Picture& Picture::operator=(const Picture& other) {
    if (this != &other)
        impl_->image = other.impl_->image.copy();
    return *this;
}

Picture::Picture(Picture&& other) noexcept : impl_(std::make_unique<Impl>()) {
    impl_->image.swap(other.impl_->image);
}

Picture& Picture::operator=(Picture&& other) noexcept {
    impl_->image.swap(other.impl_->image);
    return *this;
}

Picture::~Picture() = default;

Picture Picture::Load(const std::string& path) {
    Picture picture;
    picture.impl_->image.load(Q(path));
    if (!picture.impl_->image.isNull())
        picture.impl_->image = picture.impl_->image.convertToFormat(QImage::Format_RGB32);
    return picture;
}

bool Picture::Empty() const {
    return impl_->image.isNull();
}

int Picture::Width() const {
    return impl_->image.width();
}

int Picture::Height() const {
    return impl_->image.height();
}

Colour Picture::Pixel(int x, int y) const {
    if (x < 0 || y < 0 || x >= Width() || y >= Height())
        return 0;
    return FromQColor(QColor(impl_->image.pixel(x, y)));
}

bool Picture::SavePng(const std::string& path) const {
    return !Empty() && impl_->image.save(Q(path), "PNG");
}

std::unique_ptr<Surface> Picture::Paint() {
    return std::make_unique<PictureSurface>(impl_->image);
}

}  // namespace ui
