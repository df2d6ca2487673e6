// kordenet-standin: a stand-in of the Kordenet offline endpoint for development,
// demonstrations and end-to-end tests.
#include "StandinServer.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QTextStream>

using namespace Qt::StringLiterals;

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(u"kordenet-standin"_s);

    QCommandLineParser parser;
    parser.setApplicationDescription(
        u"Answers POST /offline_main.php on 127.0.0.1 like the Kordenet service."_s);
    parser.addHelpOption();
    const QCommandLineOption portOption(u"port"_s, u"Port to listen on (0: any free one)."_s,
                                        u"PORT"_s, u"0"_s);
    const QCommandLineOption seedOption(u"seed"_s, u"Create a data set of N posts."_s, u"N"_s,
                                        u"200"_s);
    const QCommandLineOption picturesOption(
        u"pictures"_s, u"Put N pictures of the stand-in into the seeded posts."_s, u"N"_s, u"0"_s);
    const QCommandLineOption userOption(u"user"_s, u"The account's user name."_s, u"NAME"_s,
                                        u"demo"_s);
    const QCommandLineOption passwordOption(u"password"_s, u"The account's password."_s,
                                            u"PASSWORD"_s, u"demo"_s);
    const QCommandLineOption faultOption(
        u"fault"_s,
        u"Play a fault for every request: delay, silent, drop, http500, garbage, truncated, "
        u"warning, errorpage, trickle."_s,
        u"NAME"_s);
    const QCommandLineOption delayOption(
        u"delay"_s,
        u"Delay of the delay fault, or the pause between the bytes of the trickle fault, ms."_s,
        u"MS"_s, u"3000"_s);
    const QCommandLineOption quietOption(u"quiet"_s, u"Do not print the requests."_s);
    parser.addOptions({portOption, seedOption, picturesOption, userOption, passwordOption,
                       faultOption, delayOption, quietOption});
    parser.process(app);

    standin::StandinData data;
    data.user = parser.value(userOption);
    data.password = parser.value(passwordOption);
    data.seed(parser.value(seedOption).toInt());
    data.seedPictures(parser.value(picturesOption).toInt());

    standin::StandinServer server(data);
    QTextStream out(stdout);
    if (parser.isSet(faultOption)) {
        standin::Fault fault = standin::Fault::None;
        if (!standin::StandinServer::faultFromName(parser.value(faultOption), fault)) {
            QTextStream(stderr) << "unknown fault: " << parser.value(faultOption) << '\n';
            return 2;
        }
        server.setFault(fault, -1, parser.value(delayOption).toInt());
    }
    if (!server.listen(quint16(parser.value(portOption).toUInt()))) {
        QTextStream(stderr) << "cannot listen on port " << parser.value(portOption) << '\n';
        return 1;
    }
    if (!parser.isSet(quietOption)) {
        QObject::connect(&server, &standin::StandinServer::requestReceived, [&](int index) {
            // The request's own document: the service reads it only after this signal.
            const auto& request = server.received().at(index);
            standin::RequestDocument document;
            QString error;
            QString types;
            if (standin::StandinService::parse(request.xmlFile, document, error)) {
                for (const auto& query : document.queries) {
                    types += u' ' + query.type;
                }
            }
            out << "request " << index + 1 << ' ' << request.method << ' ' << request.path
                << " TYPE" << types << Qt::endl;
        });
    }
    out << "Kordenet stand-in listening on " << server.url() << " (user " << data.user
        << ", password " << data.password << ", " << data.posts.size() << " posts, "
        << data.comments.size() << " comments)" << Qt::endl;
    return QCoreApplication::exec();
}
