// Reads what a screen reader is told: the tree of accessible objects that
// the application with process id PID offers on the accessibility bus, as a
// reader sees it over D-Bus. One JSON object a line, parents before their
// children: path, parent path, depth, role name, name, description, and for
// combo boxes the text they offer.
//
//   atspi_tree PID [MAX_DEPTH]
//
// Exit status 0 with the tree, 2 when the accessibility bus cannot be
// reached, 3 when no such application registers within the time allowed.

#include <QCoreApplication>
#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusVariant>
#include <QDeadlineTimer>
#include <QJsonDocument>
#include <QJsonObject>
#include <QThread>

#include <cstdio>

namespace {

struct Ref {
    QString service;
    QDBusObjectPath path;
};

const QDBusArgument &operator>>(const QDBusArgument &a, Ref &r)
{
    a.beginStructure();
    a >> r.service >> r.path;
    a.endStructure();
    return a;
}

QDBusArgument &operator<<(QDBusArgument &a, const Ref &r)
{
    a.beginStructure();
    a << r.service << r.path;
    a.endStructure();
    return a;
}

constexpr int CallTimeoutMs = 30000;
const QString kAccessible = QStringLiteral("org.a11y.atspi.Accessible");

class Reader {
public:
    Reader(QDBusConnection bus, QString service)
        : m_bus(std::move(bus)), m_service(std::move(service))
    {}

    QVariant call(const QString &path, const QString &iface, const QString &method,
                  const QVariantList &args = {}) const
    {
        QDBusMessage m = QDBusMessage::createMethodCall(m_service, path, iface, method);
        m.setArguments(args);
        const QDBusMessage reply = m_bus.call(m, QDBus::Block, CallTimeoutMs);
        if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty()) {
            std::fprintf(stderr, "%s %s.%s: %s\n", qPrintable(path), qPrintable(iface),
                         qPrintable(method), qPrintable(reply.errorMessage()));
            return {};
        }
        return reply.arguments().constFirst();
    }

    QString property(const QString &path, const QString &name) const
    {
        const QVariant v = call(path, QStringLiteral("org.freedesktop.DBus.Properties"),
                                QStringLiteral("Get"), {kAccessible, name});
        return qvariant_cast<QDBusVariant>(v).variant().toString();
    }

    QList<Ref> children(const QString &path) const
    {
        const QVariant v = call(path, kAccessible, QStringLiteral("GetChildren"));
        return qdbus_cast<QList<Ref>>(v);
    }

    void walk(const QString &path, const QString &parent, int depth, int maxDepth)
    {
        if (++m_count > 20000)
            return;
        QJsonObject o;
        o[QStringLiteral("path")] = path;
        o[QStringLiteral("parent")] = parent;
        o[QStringLiteral("depth")] = depth;
        const QString role = call(path, kAccessible, QStringLiteral("GetRoleName")).toString();
        o[QStringLiteral("role")] = role;
        o[QStringLiteral("name")] = property(path, QStringLiteral("Name"));
        o[QStringLiteral("description")] = property(path, QStringLiteral("Description"));
        const bool combo = role == QLatin1String("combo box");
        if (combo)
            o[QStringLiteral("text")] = call(path, QStringLiteral("org.a11y.atspi.Text"),
                                             QStringLiteral("GetText"), {0, -1})
                                            .toString();
        std::fputs(QJsonDocument(o).toJson(QJsonDocument::Compact).constData(), stdout);
        std::fputc('\n', stdout);
        // A combo box's list is Qt's own; its items say nothing of the program.
        if (combo || depth >= maxDepth)
            return;
        for (const Ref &child : children(path)) {
            if (child.service == m_service)
                walk(child.path.path(), path, depth + 1, maxDepth);
        }
    }

private:
    QDBusConnection m_bus;
    QString m_service;
    int m_count = 0;
};

QString a11yBusAddress()
{
    QDBusMessage m = QDBusMessage::createMethodCall(
        QStringLiteral("org.a11y.Bus"), QStringLiteral("/org/a11y/bus"),
        QStringLiteral("org.a11y.Bus"), QStringLiteral("GetAddress"));
    const QDBusMessage reply = QDBusConnection::sessionBus().call(m, QDBus::Block, CallTimeoutMs);
    return reply.type() == QDBusMessage::ReplyMessage && !reply.arguments().isEmpty()
               ? reply.arguments().constFirst().toString()
               : QString();
}

} // namespace

Q_DECLARE_METATYPE(Ref)

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    qDBusRegisterMetaType<Ref>();
    qDBusRegisterMetaType<QList<Ref>>();
    const QStringList args = app.arguments();
    if (args.size() < 2) {
        std::fputs("usage: atspi_tree PID [MAX_DEPTH]\n", stderr);
        return 1;
    }
    const uint pid = args.at(1).toUInt();
    const int maxDepth = args.size() > 2 ? args.at(2).toInt() : 100;

    const QString address = a11yBusAddress();
    if (address.isEmpty()) {
        std::fputs("no accessibility bus\n", stderr);
        return 2;
    }
    QDBusConnection bus = QDBusConnection::connectToBus(address, QStringLiteral("atspi"));
    if (!bus.isConnected()) {
        std::fputs("cannot connect to the accessibility bus\n", stderr);
        return 2;
    }

    // An application appears among the registry's children once its bridge
    // has embedded it.
    Reader registry(bus, QStringLiteral("org.a11y.atspi.Registry"));
    QDeadlineTimer deadline(60000);
    while (!deadline.hasExpired()) {
        for (const Ref &app :
             registry.children(QStringLiteral("/org/a11y/atspi/accessible/root"))) {
            QDBusMessage m = QDBusMessage::createMethodCall(
                QStringLiteral("org.freedesktop.DBus"), QStringLiteral("/org/freedesktop/DBus"),
                QStringLiteral("org.freedesktop.DBus"),
                QStringLiteral("GetConnectionUnixProcessID"));
            m.setArguments({app.service});
            const QDBusMessage reply = bus.call(m, QDBus::Block, CallTimeoutMs);
            if (reply.type() == QDBusMessage::ReplyMessage && !reply.arguments().isEmpty() &&
                reply.arguments().constFirst().toUInt() == pid) {
                Reader reader(bus, app.service);
                reader.walk(app.path.path(), QString(), 0, maxDepth);
                std::fflush(stdout);
                return 0;
            }
        }
        QThread::msleep(100);
    }
    std::fputs("the application did not register\n", stderr);
    return 3;
}
