#pragma once

#include <QByteArray>
#include <QString>

class QTcpSocket;

namespace standin {

// The pictures the stand-in serves over GET, and the picture hosts that
// misbehave:
//   /pic/N.png       a PNG of its own for every number N
//   /smiles/N.gif    an animated smiley
//   /pic/big.png     a picture of 11 MB (PNG signature, then filler)
//   /pic/page.html   an HTML page where a picture was expected
//   /pic/silent      never answers
//   /pic/trickle     one byte of a picture every 200 ms, never ending
//   /pic/loop        a redirect to itself
//   /pic/huge        announces 20 GB and sends filler until the client leaves
// Anything else under /pic/ or /smiles/ is a 404. A query is ignored.
class StandinPictures {
public:
    static bool serves(const QByteArray& path);
    static void answer(QTcpSocket* socket, const QByteArray& target);

    // The PNG that /pic/N.png serves.
    static QByteArray png(int number);
    // The animated GIF of /smiles/N.gif (two frames).
    static QByteArray animatedGif();
};

} // namespace standin
