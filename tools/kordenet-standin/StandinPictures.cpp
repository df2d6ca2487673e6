#include "StandinPictures.h"

#include <QBuffer>
#include <QColor>
#include <QImage>
#include <QRegularExpression>
#include <QTcpSocket>
#include <QTimer>

using namespace Qt::StringLiterals;

namespace standin {
namespace {

const char kSmileGif[] = "\x47\x49\x46\x38\x39\x61\x13\x00\x13\x00\xf4\x00\x00\x00\x00\x00"
                         "\x2e\x26\x06\x51\x43\x0a\x62\x51\x0c\x79\x63\x0f\xa0\x60\x00\xaf"
                         "\x72\x05\xb0\x74\x05\xb1\x74\x06\xb8\x7d\x08\xbc\x9b\x17\xd8\xb2"
                         "\x1a\xd9\xb2\x1a\xdb\xb4\x1b\xe4\xb2\x16\xe3\xbb\x1c\xeb\xba\x18"
                         "\xef\xc5\x1d\xf5\xc6\x1c\xf3\xc8\x1e\xf9\xcb\x1d\xff\xd2\x1f\x00"
                         "\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00"
                         "\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x21\xf9\x04"
                         "\x09\x3c\x00\x16\x00\x21\xff\x0b\x4e\x45\x54\x53\x43\x41\x50\x45"
                         "\x32\x2e\x30\x03\x01\x00\x00\x00\x21\xff\x0b\x49\x6d\x61\x67\x65"
                         "\x4d\x61\x67\x69\x63\x6b\x0d\x67\x61\x6d\x6d\x61\x3d\x30\x2e\x34"
                         "\x35\x34\x35\x35\x00\x2c\x00\x00\x00\x00\x13\x00\x13\x00\x00\x05"
                         "\x83\xa0\x25\x8e\x64\x69\x92\x47\xa1\xaa\xc7\x39\xa6\x89\x23\x51"
                         "\x92\x93\x14\xad\x69\x14\x50\xe5\xff\x15\x48\xc1\x50\x4a\x49\x80"
                         "\x48\x09\x8e\xc4\x43\x3a\x85\xaf\xc4\x0f\x00\x98\x56\x7d\x89\x5c"
                         "\xc1\x61\xed\xfa\x1c\x05\x51\xe1\xe8\xa3\x7a\x2b\x4a\x31\xc5\xc9"
                         "\xa6\x84\x2d\x63\xb6\x33\x0d\xe7\x56\x14\x13\xe4\x44\xf1\x7d\x1f"
                         "\xa4\x15\x01\x04\x48\x04\x01\x58\x39\x70\x3d\x0d\x00\x03\x0c\x11"
                         "\x0c\x03\x00\x0d\x41\x6f\x22\x46\x15\x0f\x02\x54\x00\x02\x0f\x68"
                         "\x4b\x24\x3b\x3d\x4f\x43\x27\x30\x32\x34\x36\xa0\x2e\x29\x2b\xab"
                         "\x2e\xb0\x25\x21\x00\x21\xf9\x04\x09\x1e\x00\x16\x00\x21\xff\x0b"
                         "\x49\x6d\x61\x67\x65\x4d\x61\x67\x69\x63\x6b\x0d\x67\x61\x6d\x6d"
                         "\x61\x3d\x30\x2e\x34\x35\x34\x35\x35\x00\x2c\x00\x00\x00\x00\x13"
                         "\x00\x13\x00\x00\x05\x84\xa0\x25\x8e\x64\x69\x92\x47\xa1\xaa\xc7"
                         "\x39\xa6\x89\x23\x51\x92\x93\x14\xad\x69\x14\x50\xe5\xff\x15\x48"
                         "\xc1\x50\x4a\x49\x80\x48\x09\x8e\xc4\x43\x3a\x85\xaf\x84\xd3\x07"
                         "\x00\xfc\x12\xb9\x82\xe3\x57\xe5\x5a\x7d\x8e\x82\xa8\x70\x9c\x76"
                         "\x7d\xca\x31\x65\xea\xa4\x88\x2d\x64\x76\xf2\xad\xf5\x29\x26\xc8"
                         "\x89\x02\xfc\x3e\x48\x2b\x01\x04\x48\x04\x01\x3e\x58\x23\x4d\x0d"
                         "\x00\x03\x0c\x11\x0c\x03\x00\x0d\x41\x6f\x22\x46\x15\x0f\x02\x55"
                         "\x00\x02\x0f\x15\x4a\x39\x23\x3b\x3d\x4f\x43\x27\x30\x32\x34\x36"
                         "\x4b\x2e\x16\x29\x2b\xab\xac\xb1\x24\x21\x00\x3b";

constexpr qint64 kBigPicture = 11 * 1024 * 1024;
constexpr qint64 kHugeAnnounced = 20LL * 1024 * 1024 * 1024;

void respond(QTcpSocket* socket, const QByteArray& status, const QByteArray& type,
             const QByteArray& body, const QByteArray& extra = {}) {
    socket->write("HTTP/1.1 " + status + "\r\nContent-Type: " + type +
                  "\r\nContent-Length: " + QByteArray::number(body.size()) +
                  "\r\nConnection: close\r\n" + extra + "\r\n" + body);
    socket->disconnectFromHost();
}

// Writes filler whenever the socket has sent what it had, until it closes.
void stream(QTcpSocket* socket) {
    const QByteArray chunk(64 * 1024, 'x');
    socket->write(chunk);
    QObject::connect(socket, &QTcpSocket::bytesWritten, socket, [socket, chunk] {
        if (socket->bytesToWrite() < chunk.size()) {
            socket->write(chunk);
        }
    });
}

void trickle(QTcpSocket* socket, const QByteArray& picture) {
    socket->write("HTTP/1.1 200 OK\r\nContent-Type: image/png\r\nContent-Length: " +
                  QByteArray::number(picture.size()) + "\r\nConnection: close\r\n\r\n");
    auto* timer = new QTimer(socket);
    QObject::connect(timer, &QTimer::timeout, socket, [socket, picture, sent = 0]() mutable {
        if (sent < picture.size() - 1) { // the last byte never comes
            socket->write(picture.mid(sent++, 1));
        }
    });
    QObject::connect(socket, &QTcpSocket::disconnected, timer, &QTimer::stop);
    timer->start(200);
}

} // namespace

bool StandinPictures::serves(const QByteArray& path) {
    return path.startsWith("/pic/") || path.startsWith("/smiles/");
}

QByteArray StandinPictures::png(int number) {
    QImage image(64, 48, QImage::Format_RGB32);
    const QColor base = QColor::fromHsv((number * 37) % 360, 120, 230);
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const bool stripe = ((x + y + number) / 8) % 2 == 0;
            image.setPixelColor(x, y, stripe ? base : base.darker(130 + number % 40));
        }
    }
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

QByteArray StandinPictures::animatedGif() {
    return QByteArray(kSmileGif, sizeof kSmileGif - 1);
}

void StandinPictures::answer(QTcpSocket* socket, const QByteArray& target) {
    const qsizetype query = target.indexOf('?'); // it tells copies apart
    const QByteArray path = query < 0 ? target : target.left(query);
    static const QRegularExpression numbered(u"^/pic/(\\d+)\\.png$"_s);
    const auto match = numbered.match(QString::fromLatin1(path));
    if (match.hasMatch()) {
        respond(socket, "200 OK", "image/png", png(match.captured(1).toInt()));
    } else if (path.startsWith("/smiles/") && path.endsWith(".gif")) {
        respond(socket, "200 OK", "image/gif", animatedGif());
    } else if (path == "/pic/big.png") {
        QByteArray big = png(1);
        big.append(QByteArray(kBigPicture - big.size(), '\0'));
        respond(socket, "200 OK", "image/png", big);
    } else if (path == "/pic/page.html") {
        respond(socket, "200 OK", "text/html",
                "<html><body><h1>Welcome</h1><p>This is no picture.</p></body></html>");
    } else if (path == "/pic/silent") {
        return;
    } else if (path == "/pic/trickle") {
        trickle(socket, png(7));
    } else if (path == "/pic/loop") {
        respond(socket, "302 Found", "text/html", "moved", "Location: /pic/loop\r\n");
    } else if (path == "/pic/huge") {
        socket->write("HTTP/1.1 200 OK\r\nContent-Type: image/png\r\nContent-Length: " +
                      QByteArray::number(kHugeAnnounced) + "\r\nConnection: close\r\n\r\n");
        stream(socket);
    } else {
        respond(socket, "404 Not Found", "text/html", "<html><body>Not found</body></html>");
    }
}

} // namespace standin
