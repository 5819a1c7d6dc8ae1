// patients: the patient manager on a clinic-sized database. Measures how long the list takes
// to follow a keystroke in the first-name finder (key press until the rebuilt list has been
// painted) and how long the window takes to show its first full list.
#include "Database.h"
#include "FrmPatmgr.h"
#include "Scenario.h"

#include <QApplication>
#include <QDate>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPointer>
#include <QRandomGenerator>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>

namespace {

const char* const firstNames[] = { "Maria", "Anna", "Elena", "Sofia", "Laura", "Julia", "Emma", "Clara",
    "Lena", "Sarah", "Hannah", "Lea", "Marie", "Katharina", "Johanna", "Eva", "Ingrid", "Petra", "Monika",
    "Sabine", "Ursula", "Helga", "Renate", "Christine", "Andrea", "Claudia", "Nicole", "Stefanie", "Birgit",
    "Martina", "Thomas", "Michael", "Andreas", "Stefan", "Peter", "Johannes", "Markus", "Christian", "Daniel",
    "Tobias", "Jan", "Lukas", "Felix", "Jonas", "Paul", "Max", "Simon", "David", "Florian", "Matthias",
    "Wolfgang", "Klaus", "Jürgen", "Dieter", "Manfred", "Hans", "Werner", "Gerhard", "Frank", "Ahmet",
    "Mehmet", "Ayşe", "Fatma", "Luca", "Marco", "Giulia", "Chiara", "Piotr", "Agnieszka", "Tomasz", "Olga",
    "Dmitri", "Ivan", "Noah", "Liam", "Olivia", "Mia", "Elias", "Ben", "Emil", "Ida", "Greta", "Anton",
    "Jakob", "Theo" };

const char* const lastNames[] = { "Müller", "Schmidt", "Schneider", "Fischer", "Weber", "Meyer", "Wagner",
    "Becker", "Schulz", "Hoffmann", "Schäfer", "Koch", "Bauer", "Richter", "Klein", "Wolf", "Schröder",
    "Neumann", "Schwarz", "Zimmermann", "Braun", "Krüger", "Hofmann", "Hartmann", "Lange", "Schmitt",
    "Werner", "Schmitz", "Krause", "Meier", "Lehmann", "Schmid", "Schulze", "Maier", "Köhler", "Herrmann",
    "König", "Walter", "Mayer", "Huber", "Kaiser", "Fuchs", "Peters", "Lang", "Scholz", "Möller", "Weiß",
    "Jung", "Hahn", "Schubert", "Vogel", "Friedrich", "Keller", "Günther", "Frank", "Berger", "Winkler",
    "Roth", "Beck", "Lorenz", "Baumann", "Franke", "Albrecht", "Yilmaz", "Kaya", "Demir", "Rossi", "Russo",
    "Kowalski", "Nowak", "Ivanov", "Smith", "Jones", "Garcia", "Martin", "Dubois", "Novak", "Horvat",
    "Jensen" };

const char* const remarks[] = { "allergic to latex", "anticoagulants", "diabetes type 2", "pacemaker",
    "hypertension", "follow-up in 6 months", "referred by Dr. Brandt", "private insurance", "asthma",
    "needs interpreter" };

template <size_t N> QString pick(QRandomGenerator& rng, const char* const (&list)[N])
{
    return QString::fromUtf8(list[rng.bounded(int(N))]);
}

// Runs the statement through the service and waits for it.
bool run(const QString& sql, const QVariantList& binds = {}, bool batch = false)
{
    bool result = false;
    QEventLoop loop;
    Database::instance()->exec(
        sql, binds, &loop,
        [&](bool ok, DbResponser*) {
            result = ok;
            loop.quit();
        },
        batch);
    loop.exec();
    return result;
}

// Patients with birthdays between 1930 and 2015, records spread over the patients and added
// in time order from 2018 on, as a clinic's database grows.
bool fill(int patients, int records)
{
    QRandomGenerator rng(20240305);
    QVariantList first, last, sex, birthday, remark;
    for (int i = 0; i < patients; ++i) {
        first << pick(rng, firstNames);
        last << pick(rng, lastNames);
        sex << rng.bounded(2);
        birthday << QDate(1930, 1, 1).addDays(rng.bounded(31000)).toString(QStringLiteral("yyyy/MM/dd"));
        remark << (rng.bounded(10) == 0 ? QVariant(pick(rng, remarks)) : QVariant(QVariant::String));
    }
    QVariantList uid, file, stamp;
    const QString folder = QDir::current().absoluteFilePath(QStringLiteral("Capture")) + QLatin1Char('/');
    QDateTime when(QDate(2018, 1, 8), QTime(8, 0), Qt::UTC);
    const qint64 span = qint64(8) * 365 * 24 * 3600 / qMax(1, records);
    for (int i = 0; i < records; ++i) {
        when = when.addSecs(1 + rng.bounded(int(2 * span)));
        uid << 1 + rng.bounded(patients);
        file << QString(folder + when.toString(QStringLiteral("yyyyMMddhhmmsszzz")) + QStringLiteral(".bmp"));
        stamp << when.toString(QStringLiteral("yyyy/MM/dd HH:mm:ss"));
    }
    return run(QStringLiteral("BEGIN"))
        && run(QStringLiteral("INSERT INTO user (fnam,lnam,sex,bday,rmrk) VALUES (?,?,?,?,?)"),
            { first, last, sex, birthday, remark }, true)
        && (records == 0
            || run(
                QStringLiteral("INSERT INTO recd (uid,fil,dtm) VALUES (?,?,?)"), { uid, file, stamp }, true))
        && run(QStringLiteral("COMMIT"));
}

// Waits until the list request issued last has been delivered, then lets the window paint.
class ListWatch
{
public:
    ListWatch()
    {
        QObject::connect(Database::instance(), &Database::exec_start,
            [this](DbRequester* req, QObject*, db_result) { last = req; });
    }
    void waitShown()
    {
        while (!last.isNull())
            QCoreApplication::processEvents();
        QCoreApplication::processEvents();
    }

private:
    QPointer<DbRequester> last;
};

void press(QWidget* target, int key, const QString& text)
{
    QKeyEvent down(QEvent::KeyPress, key, Qt::NoModifier, text);
    QKeyEvent up(QEvent::KeyRelease, key, Qt::NoModifier, text);
    QApplication::sendEvent(target, &down);
    QApplication::sendEvent(target, &up);
}

int runPatients(const QStringList& args)
{
    const int patients
        = qMax(1, bench::optionValue(args, QStringLiteral("--patients"), QStringLiteral("10000")).toInt());
    const int records
        = qMax(0, bench::optionValue(args, QStringLiteral("--records"), QStringLiteral("100000")).toInt());
    const int holdSeconds = bench::optionValue(args, QStringLiteral("--hold"), QStringLiteral("0")).toInt();

    QTemporaryDir work;
    QDir::setCurrent(work.path());
    if (!Database::instance() || !fill(patients, records)) {
        std::fprintf(stderr, "patients: cannot fill the database\n");
        return 1;
    }
    ListWatch watch;

    QElapsedTimer clock;
    clock.start();
    auto* window = new FrmPatmgr(nullptr);
    window->setAttribute(Qt::WA_DeleteOnClose);
    window->show();
    watch.waitShown();
    bench::print("patients_open_ms", double(clock.nsecsElapsed()) / 1e6, "ms");

    // Operators look a patient up by typing part of the first name, then clear the field.
    auto* finder = window->findChild<QLineEdit*>(QStringLiteral("leFN"));
    std::vector<double> keystrokes;
    for (const char* word : { "Maria", "Jo", "Elena", "Thomas", "an", "Greta" }) {
        const QString text = QString::fromLatin1(word);
        QVector<QPair<int, QString>> keys;
        for (QChar c : text)
            keys.append({ Qt::Key_A + (c.toUpper().unicode() - 'A'), QString(c) });
        for (int i = 0; i < text.size(); ++i)
            keys.append({ Qt::Key_Backspace, QString() });
        for (const auto& key : keys) {
            clock.restart();
            press(finder, key.first, key.second);
            watch.waitShown();
            keystrokes.push_back(double(clock.nsecsElapsed()) / 1e6);
        }
    }
    bench::print("patients_keystroke_ms_median", bench::median(keystrokes), "ms");
    bench::print("patients_keystroke_ms_p95", bench::percentile(keystrokes, 0.95), "ms");

    if (holdSeconds > 0) {
        QTimer::singleShot(holdSeconds * 1000, window, &QWidget::close);
        QCoreApplication::exec();
    } else {
        window->close();
    }
    return 0;
}

} // namespace

KARVEX_SCENARIO(
    patients, ScenarioApp::Widgets, "patients [--patients N] [--records M] [--hold SECONDS]", runPatients);
