// Draws Marbleway's icons into an icon folder at build time:
//   icon-frames FOLDER
// writes round0.ico to round16.ico (a progress ring filling in 17 steps), with
// 16, 32 and 48 pixel images in 32-bit colour with an alpha channel, and
// marbleway.ico (the program's own icon), with the same sizes in 32-bit colour
// and in 256 colours, plus marbleway.png (256 pixels) for the desktop menu.
#include <QColor>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>

#include <cstdint>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

namespace {

constexpr int kFrames = 17;
constexpr int kSizes[] = {16, 32, 48};

void Put16(std::string& out, std::uint16_t v) {
    out.push_back(static_cast<char>(v & 0xff));
    out.push_back(static_cast<char>(v >> 8));
}

void Put32(std::string& out, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<char>((v >> (8 * i)) & 0xff));
}

// One icon image as a DIB: header, palette (8 bits), bottom-up rows, then the
// AND mask that marks the transparent pixels.
std::string Dib(const QImage& source, int bits) {
    const QImage image = source.convertToFormat(QImage::Format_ARGB32);
    const int n = image.width();
    std::string out;
    Put32(out, 40);
    Put32(out, static_cast<std::uint32_t>(n));
    Put32(out, static_cast<std::uint32_t>(2 * n));  // colour rows and mask rows
    Put16(out, 1);
    Put16(out, static_cast<std::uint16_t>(bits));
    for (int i = 0; i < 6; ++i) Put32(out, 0);
    if (bits == 8) {
        // Transparent pixels are black under the mask; the rest in 256 colours.
        QImage opaque(n, n, QImage::Format_RGB32);
        opaque.fill(Qt::black);
        QPainter(&opaque).drawImage(0, 0, image);
        const QImage indexed = opaque.convertToFormat(QImage::Format_Indexed8, Qt::ThresholdDither);
        QList<QRgb> palette = indexed.colorTable();
        palette.resize(256, qRgb(0, 0, 0));
        for (const QRgb c : palette) Put32(out, c & 0xffffff);
        const int row_bytes = (n + 3) / 4 * 4;
        for (int y = n - 1; y >= 0; --y) {
            std::string row(static_cast<std::size_t>(row_bytes), '\0');
            for (int x = 0; x < n; ++x) {
                row[static_cast<std::size_t>(x)] = qAlpha(image.pixel(x, y)) < 128 ? '\0' : static_cast<char>(indexed.pixelIndex(x, y));
            }
            out += row;
        }
    } else {
        for (int y = n - 1; y >= 0; --y) {
            const auto* row = reinterpret_cast<const std::uint32_t*>(image.constScanLine(y));
            for (int x = 0; x < n; ++x) Put32(out, row[x]);
        }
    }
    const int mask_row = ((n + 31) / 32) * 4;
    for (int y = n - 1; y >= 0; --y) {
        std::string mask(static_cast<std::size_t>(mask_row), '\0');
        for (int x = 0; x < n; ++x) {
            if (qAlpha(image.pixel(x, y)) < (bits == 8 ? 128 : 1)) mask[static_cast<std::size_t>(x / 8)] |= static_cast<char>(0x80 >> (x % 8));
        }
        out += mask;
    }
    return out;
}

struct IconImage {
    QImage image;
    int bits;
};

bool WriteIco(const std::string& path, const std::vector<IconImage>& images) {
    std::string out;
    Put16(out, 0);
    Put16(out, 1);
    Put16(out, static_cast<std::uint16_t>(images.size()));
    std::vector<std::string> dibs;
    for (const IconImage& i : images) dibs.push_back(Dib(i.image, i.bits));
    std::uint32_t offset = 6 + 16 * static_cast<std::uint32_t>(images.size());
    for (std::size_t i = 0; i < images.size(); ++i) {
        out.push_back(static_cast<char>(images[i].image.width()));
        out.push_back(static_cast<char>(images[i].image.height()));
        out.push_back(0);
        out.push_back(0);
        Put16(out, 1);
        Put16(out, static_cast<std::uint16_t>(images[i].bits));
        Put32(out, static_cast<std::uint32_t>(dibs[i].size()));
        Put32(out, offset);
        offset += static_cast<std::uint32_t>(dibs[i].size());
    }
    for (const std::string& dib : dibs) out += dib;
    std::ofstream file(path, std::ios::binary);
    file << out;
    return static_cast<bool>(file);
}

// The marble at the centre of every icon.
void DrawMarble(QPainter& p, double size, double radius) {
    const QPointF centre(size / 2, size / 2);
    QRadialGradient marble(centre - QPointF(radius * 0.35, radius * 0.4), radius * 1.6);
    marble.setColorAt(0, QColor("#b9f3ff"));
    marble.setColorAt(0.35, QColor("#3fa9f5"));
    marble.setColorAt(0.75, QColor("#5a3fd6"));
    marble.setColorAt(1, QColor("#241a5c"));
    p.setPen(Qt::NoPen);
    p.setBrush(marble);
    p.drawEllipse(centre, radius, radius);
}

QImage Frame(int size, int step) {
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    const double s = size;
    const double ring = s * 0.16;
    const QRectF box(ring / 2 + 0.5, ring / 2 + 0.5, s - ring - 1, s - ring - 1);
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(QColor(38, 44, 58, 235), ring + 1.5));
    p.drawEllipse(box);
    p.setPen(QPen(QColor(255, 255, 255, 50), ring));
    p.drawEllipse(box);
    if (step > 0) {
        const bool done = step == kFrames - 1;
        p.setPen(QPen(QColor(done ? "#64e08a" : "#4a93ff"), ring, Qt::SolidLine, done ? Qt::FlatCap : Qt::RoundCap));
        p.drawArc(box, 90 * 16, -static_cast<int>(360.0 * 16 * step / (kFrames - 1)));
    }
    DrawMarble(p, s, s / 2 - ring * 1.6);
    return image;
}

QImage ProgramIcon(int size) {
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    const double s = size;
    DrawMarble(p, s, s / 2 - 0.5);
    QPainterPath swirl;
    swirl.moveTo(s * 0.18, s * 0.56);
    swirl.cubicTo(s * 0.38, s * 0.30, s * 0.58, s * 0.82, s * 0.84, s * 0.42);
    p.setPen(QPen(QColor(255, 255, 255, 110), std::max(1.0, s / 16), Qt::SolidLine, Qt::RoundCap));
    p.drawPath(swirl);
    p.setPen(QPen(QColor(255, 255, 255, 120), std::max(1.0, s / 24)));
    p.setBrush(QColor("#161a23"));
    p.drawEllipse(QPointF(s / 2, s / 2), s * 0.1, s * 0.1);
    return image;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: icon-frames FOLDER\n");
        return 2;
    }
    const std::string folder = argv[1];
    for (int step = 0; step < kFrames; ++step) {
        std::vector<IconImage> images;
        for (int size : kSizes) images.push_back({Frame(size, step), 32});
        if (!WriteIco(folder + "/round" + std::to_string(step) + ".ico", images)) return 1;
    }
    std::vector<IconImage> images;
    for (int bits : {8, 32}) {
        for (int size : kSizes) images.push_back({ProgramIcon(size), bits});
    }
    const bool png = ProgramIcon(256).save(QString::fromStdString(folder + "/marbleway.png"));
    return WriteIco(folder + "/marbleway.ico", images) && png ? 0 : 1;
}
