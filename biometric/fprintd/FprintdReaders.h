// fprintd's readers as the service's units: the only place that knows which unit is which.
#pragma once

#include <QString>
#include <QStringList>
#include <QVariantMap>
#include <functional>
#include <vector>

#include "FprintdAnswers.h"
#include "WinBio.h"

class FprintdBus;
class QDBusMessage;

// Where an operation's calls go: one running fprintd and one of its readers.
struct ReaderFound {
    StatusCode status = kOk;
    QString daemon;  // fprintd's unique name on the bus
    QString path;
};

// Unit N names the same device object for the life of the back end: numbers are handed out in
// the order readers are first seen and never reused, so a reader that comes or goes moves no
// operation to another one.
class FprintdReaders {
public:
    explicit FprintdReaders(FprintdBus& bus);

    // Reaches fprintd (starting it if it sleeps); kOk when it answers.
    void Reach(std::function<void(StatusCode)> answer);
    // The reader of a unit as fprintd lists it now: kSensorUnavailable once it has gone.
    void Find(UnitId unit, std::function<void(ReaderFound)> answer);
    // Every present reader with its name and kind.
    void Describe(Answer<UnitsAnswer> answer);
    // The user's enrolled finger names on that reader; a prompt may come first, so no timeout.
    void ListFingers(const ReaderFound& reader, const QString& user,
                     std::function<void(StatusCode, QStringList)> answer);
    // The unit of fprintd's default reader.
    void Locate(Answer<UnitAnswer> answer);

private:
    struct Listing {
        StatusCode status = kOk;
        QString daemon;
        std::vector<QString> paths;  // present now, in fprintd's order
    };
    void List(std::function<void(Listing)> answer);
    // Who owns fprintd's name now, by unique name: the instance that just listed the readers,
    // unless it restarted in between.
    void NameTheDaemon(Listing listing, const std::function<void(Listing)>& answer);
    UnitId UnitOf(const QString& path);

    FprintdBus& m_bus;
    std::vector<QString> m_units;  // index = unit - 1
};
