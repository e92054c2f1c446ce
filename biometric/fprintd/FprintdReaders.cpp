// fprintd's readers as the service's units: the only place that knows which unit is which.
#include "FprintdReaders.h"

#include <QDBusArgument>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <algorithm>
#include <memory>

#include "FprintdBus.h"
#include "FprintdMapping.h"

namespace {

const QString kService = QStringLiteral("net.reactivated.Fprint");
const QString kManagerPath = QStringLiteral("/net/reactivated/Fprint/Manager");
const QString kManagerInterface = QStringLiteral("net.reactivated.Fprint.Manager");
const QString kDeviceInterface = QStringLiteral("net.reactivated.Fprint.Device");
const QString kPropertiesInterface = QStringLiteral("org.freedesktop.DBus.Properties");
const QString kBusService = QStringLiteral("org.freedesktop.DBus");
const QString kBusPath = QStringLiteral("/org/freedesktop/DBus");

// The system bus refuses a connection's replies beyond a limit (128 by default): a few reads at
// a time list any number of readers.
constexpr std::size_t kPropertyReadsInFlight = 4;

StatusCode ErrorStatus(const QDBusMessage& reply) {
    return StatusFromErrorName(FprintdBus::ErrorName(reply).toStdString());
}

QVariantMap PropertiesFrom(const QDBusMessage& reply) {
    if (FprintdBus::IsError(reply) || reply.arguments().isEmpty()) {
        return {};
    }
    QVariantMap properties;
    reply.arguments().constFirst().value<QDBusArgument>() >> properties;
    return properties;
}

WINBIO_UNIT_SCHEMA UnitSchema(UnitId unit, const QVariantMap& properties) {
    WINBIO_UNIT_SCHEMA schema;
    schema.UnitId = unit;
    schema.PoolType = kPoolSystem;
    schema.BiometricFactor = kFactorFingerprint;
    const QString scanType = properties.value(QStringLiteral("scan-type")).toString();
    schema.SensorSubType =
        scanType == QStringLiteral("swipe") ? kSensorSubtypeSwipe : kSensorSubtypeTouch;
    const QString name = properties.value(QStringLiteral("name")).toString();
    const auto length = std::min<std::size_t>(name.size(), kUnitTextCapacity - 1);
    std::copy_n(reinterpret_cast<const char16_t*>(name.utf16()), length, schema.Description);
    schema.Description[length] = 0;
    return schema;
}

}  // namespace

FprintdReaders::FprintdReaders(FprintdBus& bus) : m_bus(bus) {}

void FprintdReaders::List(std::function<void(Listing)> answer) {
    // The well-known name: the bus starts fprintd if it sleeps. The reply names the instance.
    m_bus.Call({kService, kManagerPath, kManagerInterface}, QStringLiteral("GetDevices"), {},
               Prompt::kNever, [this, answer = std::move(answer)](const QDBusMessage& reply) {
                   Listing listing;
                   if (FprintdBus::IsError(reply)) {
                       listing.status = ErrorStatus(reply);
                       answer(std::move(listing));
                       return;
                   }
                   const auto devices =
                       qdbus_cast<QList<QDBusObjectPath>>(reply.arguments().value(0));
                   for (const QDBusObjectPath& device : devices) {
                       listing.paths.push_back(device.path());
                       UnitOf(device.path());
                   }
                   NameTheDaemon(std::move(listing), answer);
               });
}

void FprintdReaders::NameTheDaemon(Listing listing, const std::function<void(Listing)>& answer) {
    // Asked of the bus: Qt 6.8 no longer gives a reply's sender, which Qt 6.4 did.
    m_bus.Call({kBusService, kBusPath, kBusService}, QStringLiteral("GetNameOwner"), {kService},
               Prompt::kNever, [listing = std::move(listing), answer](const QDBusMessage& reply) {
                   Listing named = listing;
                   if (FprintdBus::IsError(reply)) {
                       named.status = ErrorStatus(reply);  // gone meanwhile
                       named.paths.clear();
                   } else {
                       named.daemon = reply.arguments().value(0).toString();
                   }
                   answer(std::move(named));
               });
}

UnitId FprintdReaders::UnitOf(const QString& path) {
    const auto found = std::find(m_units.begin(), m_units.end(), path);
    if (found != m_units.end()) {
        return static_cast<UnitId>(found - m_units.begin() + 1);
    }
    m_units.push_back(path);
    return static_cast<UnitId>(m_units.size());
}

void FprintdReaders::Reach(std::function<void(StatusCode)> answer) {
    List([answer = std::move(answer)](const Listing& listing) { answer(listing.status); });
}

void FprintdReaders::Find(UnitId unit, std::function<void(ReaderFound)> answer) {
    List([this, unit, answer = std::move(answer)](const Listing& listing) {
        if (listing.status != kOk) {
            answer({listing.status, {}, {}});
        } else if (listing.paths.empty()) {
            answer({kSensorUnavailable, {}, {}});
        } else if (unit < 1 || unit > m_units.size()) {
            answer({kInvalidUnit, {}, {}});
        } else if (const QString& path = m_units[unit - 1];
                   std::find(listing.paths.begin(), listing.paths.end(), path) ==
                   listing.paths.end()) {
            answer({kSensorUnavailable, {}, {}});  // that reader has gone
        } else {
            answer({kOk, listing.daemon, path});
        }
    });
}

void FprintdReaders::Describe(Answer<UnitsAnswer> answer) {
    List([this, answer = std::move(answer)](const Listing& listing) {
        if (listing.status != kOk || listing.paths.empty()) {
            answer({listing.status != kOk ? listing.status : kSensorUnavailable, {}});
            return;
        }
        struct Reading {
            QString daemon;
            std::vector<QString> paths;
            std::vector<WINBIO_UNIT_SCHEMA> units;
            std::size_t next = 0;
            std::size_t missing = 0;
            Answer<UnitsAnswer> answer;
            std::function<void()> readNext;
        };
        auto reading = std::make_shared<Reading>();
        reading->daemon = listing.daemon;
        reading->paths = listing.paths;
        reading->units.resize(listing.paths.size());
        reading->missing = listing.paths.size();
        reading->answer = answer;
        std::weak_ptr<Reading> weak = reading;
        reading->readNext = [this, weak] {
            const auto self = weak.lock();
            if (!self || self->next == self->paths.size()) {
                return;
            }
            const std::size_t index = self->next++;
            const UnitId unit = UnitOf(self->paths[index]);
            // A reader whose properties cannot be read is still listed, without a name.
            m_bus.Call({self->daemon, self->paths[index], kPropertiesInterface},
                       QStringLiteral("GetAll"), {kDeviceInterface}, Prompt::kNever,
                       [self, index, unit](const QDBusMessage& properties) {
                           self->units[index] = UnitSchema(unit, PropertiesFrom(properties));
                           if (--self->missing == 0) {
                               self->answer({kOk, std::move(self->units)});
                               self->readNext = nullptr;
                               return;
                           }
                           self->readNext();
                       });
        };
        for (std::size_t started = 0; started < kPropertyReadsInFlight; ++started) {
            reading->readNext();
        }
    });
}

void FprintdReaders::Locate(Answer<UnitAnswer> answer) {
    List([this, answer = std::move(answer)](const Listing& listing) {
        if (listing.status != kOk) {
            answer({listing.status, 0});
            return;
        }
        m_bus.Call(
            {listing.daemon, kManagerPath, kManagerInterface}, QStringLiteral("GetDefaultDevice"),
            {}, Prompt::kNever, [this, paths = listing.paths, answer](const QDBusMessage& reply) {
                if (FprintdBus::IsError(reply)) {
                    answer({ErrorStatus(reply), 0});
                    return;
                }
                const QString path = qdbus_cast<QDBusObjectPath>(reply.arguments().value(0)).path();
                if (std::find(paths.begin(), paths.end(), path) == paths.end()) {
                    answer({kSensorUnavailable, 0});
                    return;
                }
                answer({kOk, UnitOf(path)});
            });
    });
}

void FprintdReaders::ListFingers(const ReaderFound& reader, const QString& user,
                                 std::function<void(StatusCode, QStringList)> answer) {
    m_bus.Call({reader.daemon, reader.path, kDeviceInterface},
               QStringLiteral("ListEnrolledFingers"), {user}, Prompt::kAllowed,
               [answer = std::move(answer)](const QDBusMessage& reply) {
                   if (FprintdBus::IsError(reply)) {
                       answer(ErrorStatus(reply), {});
                       return;
                   }
                   answer(kOk, reply.arguments().value(0).toStringList());
               });
}
