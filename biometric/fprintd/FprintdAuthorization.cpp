// Asking polkit for the right to enroll or verify before the reader is claimed.
#include "FprintdAuthorization.h"

#include <unistd.h>

#include <QDBusArgument>
#include <QDBusMessage>
#include <QDBusVariant>
#include <QMap>
#include <atomic>
#include <cstdint>

#include "FprintdBus.h"

namespace {

const QString kPolkit = QStringLiteral("org.freedesktop.PolicyKit1");
const QString kAuthorityPath = QStringLiteral("/org/freedesktop/PolicyKit1/Authority");
const QString kAuthorityInterface = QStringLiteral("org.freedesktop.PolicyKit1.Authority");

QString ActionId(FprintdAction action) {
    return action == FprintdAction::kVerify
               ? QStringLiteral("net.reactivated.fprint.device.verify")
               : QStringLiteral("net.reactivated.fprint.device.enroll");
}
constexpr std::uint32_t kAllowUserInteraction = 1;

QString NextCancellationId() {
    static std::atomic<unsigned> counter{0};
    return QStringLiteral("varne-%1-%2").arg(getpid()).arg(counter.fetch_add(1));
}

// ('system-bus-name', {'name': <our unique name>}): polkit asks about this connection's process.
QVariant Subject(const QString& ownName) {
    QDBusArgument subject;
    subject.beginStructure();
    subject << QStringLiteral("system-bus-name");
    subject.beginMap(QMetaType::fromType<QString>(), QMetaType::fromType<QDBusVariant>());
    subject.beginMapEntry();
    subject << QStringLiteral("name") << QDBusVariant(ownName);
    subject.endMapEntry();
    subject.endMap();
    subject.endStructure();
    return QVariant::fromValue(subject);
}

QVariant NoDetails() {
    QDBusArgument details;
    details.beginMap(QMetaType::fromType<QString>(), QMetaType::fromType<QString>());
    details.endMap();
    return QVariant::fromValue(details);
}

bool IsAuthorized(const QDBusMessage& reply) {
    if (FprintdBus::IsError(reply) || reply.arguments().isEmpty()) {
        return false;
    }
    const auto result = reply.arguments().constFirst().value<QDBusArgument>();
    bool authorized = false;
    bool challenge = false;
    QMap<QString, QString> details;
    result.beginStructure();
    result >> authorized >> challenge >> details;
    result.endStructure();
    return authorized;
}

}  // namespace

FprintdAuthorization::FprintdAuthorization(FprintdBus& bus) : m_bus(bus) {}

QString FprintdAuthorization::Check(FprintdAction action, std::function<void(StatusCode)> answer) {
    const QString id = NextCancellationId();
    m_bus.Connect();  // for its own name; without a connection the call fails as refused
    m_bus.Call({kPolkit, kAuthorityPath, kAuthorityInterface}, QStringLiteral("CheckAuthorization"),
               {Subject(m_bus.OwnName()), ActionId(action), NoDetails(), kAllowUserInteraction, id},
               Prompt::kAllowed, [answer = std::move(answer)](const QDBusMessage& reply) {
                   answer(IsAuthorized(reply) ? kOk : kAccessDenied);
               });
    return id;
}

void FprintdAuthorization::Cancel(const QString& id) {
    // Its answer changes nothing: the check itself answers either way.
    m_bus.Call({kPolkit, kAuthorityPath, kAuthorityInterface},
               QStringLiteral("CancelCheckAuthorization"), {id}, Prompt::kNever,
               [](const QDBusMessage&) {});
}
