// What an enrollment or a verification holds of fprintd: its reader, polkit check and claim.
#include "FprintdReaderHold.h"

#include <QDBusMessage>

#include "FprintdReaders.h"
#include "FprintdTimeouts.h"

namespace {

const QString kDeviceInterface = QStringLiteral("net.reactivated.Fprint.Device");
const QString kPropertiesInterface = QStringLiteral("org.freedesktop.DBus.Properties");

}  // namespace

FprintdReaderHold::FprintdReaderHold(FprintdLinks links, UnitId unit, QString user,
                                     std::function<void()> readerFree)
    : m_links(links), m_unit(unit), m_user(std::move(user)), m_readerFree(std::move(readerFree)) {}

QString FprintdReaderHold::FingerName(SubFactor finger) {
    const std::string_view name = FprintdFingerName(finger).value_or(std::string_view());
    return QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size()));
}

bool FprintdReaderHold::Is(const QString& daemon, const QString& path) const {
    return IsDaemon(daemon) && path == m_path;
}

void FprintdReaderHold::Find(std::function<void(StatusCode)> then) {
    m_hadTurn = true;
    m_links.bus.WatchDaemon();  // before the reader is looked up: its daemon's end must be seen
    if (m_unit == 0) {
        m_links.readers.Locate([this, then = std::move(then)](const UnitAnswer& located) {
            if (located.status != kOk) {
                then(located.status);
                return;
            }
            m_unit = located.unit;
            Find(then);
        });
        return;
    }
    m_links.readers.Find(m_unit, [this, then = std::move(then)](const ReaderFound& found) {
        m_daemon = found.daemon;
        m_path = found.path;
        then(found.status);
    });
}

void FprintdReaderHold::Authorize(FprintdAction action, std::function<void(StatusCode)> then) {
    m_checkId =
        m_links.authorization.Check(action, [this, then = std::move(then)](StatusCode status) {
            m_checkId.clear();
            then(status);
        });
}

void FprintdReaderHold::CancelAuthorization() {
    if (!m_checkId.isEmpty()) {
        m_links.authorization.Cancel(m_checkId);
    }
}

bool FprintdReaderHold::Lost(const QString& daemon) {
    if (!IsDaemon(daemon)) {
        return false;
    }
    CancelAuthorization();
    return true;
}

void FprintdReaderHold::Claim(std::function<void(StatusCode)> then) {
    m_links.bus.WatchReader(m_daemon, m_path);  // before anything can be sent
    Call(QStringLiteral("Claim"), {m_user}, Prompt::kAllowed, FprintdCall::kOther,
         [then = std::move(then)](StatusCode error, const QDBusMessage&) { then(error); });
}

void FprintdReaderHold::Call(const QString& method, const QVariantList& arguments, Prompt prompt,
                             FprintdCall call, Reply then) {
    Send({m_daemon, m_path, kDeviceInterface}, method, arguments, prompt, call, std::move(then));
}

void FprintdReaderHold::ReadProperties(Reply then) {
    Send({m_daemon, m_path, kPropertiesInterface}, QStringLiteral("GetAll"), {kDeviceInterface},
         Prompt::kNever, FprintdCall::kOther, std::move(then));
}

void FprintdReaderHold::Send(const CallTarget& target, const QString& method,
                             const QVariantList& arguments, Prompt prompt, FprintdCall call,
                             Reply then) {
    m_links.bus.Call(target, method, arguments, prompt,
                     [call, then = std::move(then)](const QDBusMessage& reply) {
                         const StatusCode error =
                             FprintdBus::IsError(reply)
                                 ? StatusFromErrorName(FprintdBus::ErrorName(reply).toStdString(),
                                                       call)
                                 : kOk;
                         then(error, reply);
                     });
}

void FprintdReaderHold::Stop(const QString& method, std::function<void()> stopped) {
    m_links.bus.Stop(m_daemon, m_path, method, m_links.timeouts.releaseWait, std::move(stopped));
}

void FprintdReaderHold::Release(std::function<void()> released) {
    m_links.bus.Release(m_daemon, m_path, m_links.timeouts.releaseWait, std::move(released));
}

void FprintdReaderHold::GiveBack() {
    if (m_hadTurn && m_readerFree) {
        auto readerFree = std::move(m_readerFree);
        m_readerFree = nullptr;
        readerFree();
    }
}
