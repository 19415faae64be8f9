#include <gtest/gtest.h>

#include "ObjectModels.h"
#include "Categories/RVApplication.h"
#include "Categories/RVObject.h"

#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QLocale>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <atomic>
#include <thread>
#include <vector>

namespace {

void fill(Model &model)
{
    model.m_tag = QStringLiteral("base tag");
    model.m_name = QStringLiteral("name");
    model.m_count = 7;
    model.m_enabled = true;
    model.m_ratio = 0.25;
    model.m_frame = QRect(1, 2, 3, 4);
    model.m_size = QSize(5, 6);
    model.m_bytes = QByteArray("\x00\x01", 2);
    model.m_names = {QStringLiteral("a"), QStringLiteral("b")};
    model.m_anything = QVariant(42);
    model.m_shadowTag = 9;
}

void writeFile(const QString &path, qsizetype bytes)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(QByteArray(bytes, 'x'));
}

// Sets an environment variable for one scope and puts back what was there,
// also when an assertion leaves the test early.
class ScopedEnvironment
{
public:
    ScopedEnvironment(const char *name, const QByteArray &value)
        : m_name(name)
        , m_had(qEnvironmentVariableIsSet(name))
        , m_old(qgetenv(name))
    {
        qputenv(name, value);
    }
    ~ScopedEnvironment()
    {
        if (m_had)
            qputenv(m_name, m_old);
        else
            qunsetenv(m_name);
    }
    ScopedEnvironment(const ScopedEnvironment &) = delete;
    ScopedEnvironment &operator=(const ScopedEnvironment &) = delete;

private:
    const char *m_name;
    bool m_had;
    QByteArray m_old;
};

} // namespace

TEST(RvShallowCopy, CopiesWritablePropertiesOfExactlyTheSameClass)
{
    Model source;
    fill(source);
    Leaf leaf;
    source.m_leaf = &leaf;
    source.m_fixed = QStringLiteral("source only");

    Model destination;
    ASSERT_TRUE(rv_easyShallowCopy(&destination, &source));
    EXPECT_EQ(destination.m_tag, source.m_tag);  // declared by the superclass
    EXPECT_EQ(destination.m_name, source.m_name);
    EXPECT_EQ(destination.m_count, source.m_count);
    EXPECT_EQ(destination.m_enabled, source.m_enabled);
    EXPECT_EQ(destination.m_ratio, source.m_ratio);
    EXPECT_EQ(destination.m_frame, source.m_frame);
    EXPECT_EQ(destination.m_size, source.m_size);
    EXPECT_EQ(destination.m_bytes, source.m_bytes);
    EXPECT_EQ(destination.m_names, source.m_names);
    EXPECT_EQ(destination.m_anything, source.m_anything);
    EXPECT_EQ(destination.m_shadowTag, source.m_shadowTag);
    EXPECT_EQ(destination.m_leaf, &leaf);  // shared, not copied
    EXPECT_EQ(destination.m_fixed, QStringLiteral("fixed"));  // read-only stays

    SubModel sub;
    fill(sub);
    Model untouched;
    EXPECT_FALSE(rv_easyShallowCopy(&untouched, &sub));
    EXPECT_FALSE(rv_easyShallowCopy(&sub, &untouched));
    EXPECT_FALSE(rv_easyShallowCopy(&source, &source));
    EXPECT_FALSE(rv_easyShallowCopy(&untouched, nullptr));
    EXPECT_FALSE(rv_easyShallowCopy(nullptr, &source));
    EXPECT_TRUE(untouched.m_name.isEmpty());
    EXPECT_FALSE(rv_easyDeepCopy(&untouched, &sub));
    EXPECT_FALSE(rv_easyDeepCopy(&source, &source));

    // QObject itself declares nothing to copy.
    QObject plain;
    QObject other;
    other.setObjectName(QStringLiteral("kept apart"));
    EXPECT_TRUE(rv_easyShallowCopy(&plain, &other));
    EXPECT_TRUE(plain.objectName().isEmpty());
}

TEST(RvDeepCopy, MakesNewObjectsOnceEachAndKeepsValuesApart)
{
    Model source;
    fill(source);
    Leaf first;
    Leaf second;
    first.m_value = 1;
    second.m_value = 2;
    first.m_partner = &second;
    second.m_partner = &first;  // a cycle
    source.m_leaf = &first;
    source.m_other = &first;    // the same object twice
    Opaque opaque(5);
    source.m_opaque = &opaque;
    Model child;
    child.m_name = QStringLiteral("child");
    child.m_child = &source;     // back to the top
    source.m_child = &child;

    Model destination;
    ASSERT_TRUE(rv_easyDeepCopy(&destination, &source));
    EXPECT_EQ(destination.m_name, QStringLiteral("name"));
    source.m_name += QStringLiteral(" changed");
    EXPECT_EQ(destination.m_name, QStringLiteral("name"));

    ASSERT_NE(destination.m_leaf, nullptr);
    EXPECT_NE(destination.m_leaf, &first);
    EXPECT_EQ(destination.m_leaf->m_value, 1);
    EXPECT_EQ(destination.m_leaf->parent(), &destination);
    EXPECT_EQ(destination.m_other, destination.m_leaf);
    ASSERT_NE(destination.m_leaf->m_partner, nullptr);
    EXPECT_NE(destination.m_leaf->m_partner, &second);
    EXPECT_EQ(destination.m_leaf->m_partner->m_value, 2);
    EXPECT_EQ(destination.m_leaf->m_partner->m_partner, destination.m_leaf);
    // No default constructor: shared.
    EXPECT_EQ(destination.m_opaque, &opaque);
    ASSERT_NE(destination.m_child, nullptr);
    EXPECT_NE(destination.m_child, &child);
    EXPECT_EQ(destination.m_child->m_name, QStringLiteral("child"));
    EXPECT_EQ(destination.m_child->m_child, &destination);

    // A model that holds itself is copied as one that holds its copy.
    Model selfish;
    selfish.m_child = &selfish;
    Model copy;
    ASSERT_TRUE(rv_easyDeepCopy(&copy, &selfish));
    EXPECT_EQ(copy.m_child, &copy);
}

TEST(RvReflection, NamesAndClassesOfDeclaredProperties)
{
    EXPECT_TRUE(rv_isNSObjectClass(&Model::staticMetaObject));
    EXPECT_TRUE(rv_isNSObjectClass(&QObject::staticMetaObject));
    EXPECT_FALSE(rv_isNSObjectClass(&QLocale::staticMetaObject));
    EXPECT_FALSE(rv_isNSObjectClass(nullptr));

    Model model;
    EXPECT_EQ(getPropertyNames(&model),
              QStringList({"name", "count", "enabled", "ratio", "frame", "size", "bytes", "names", "anything", "leaf",
                           "other", "opaque", "child", "fixed", "computed", "tag"}));
    ModelBase base;
    EXPECT_EQ(getPropertyNames(&base), QStringList({"tag"}));
    SubModel sub;
    EXPECT_TRUE(getPropertyNames(&sub).isEmpty());
    EXPECT_TRUE(getPropertyNames(nullptr).isEmpty());

    const RVPropertyClasses &classes = getPropertyClassesByName(&model);
    using K = RVPropertyClass;
    const RVPropertyClasses expected = {
        {"name", {K::String, QMetaType::fromType<QString>()}},
        {"count", {K::Number, QMetaType::fromType<int>()}},
        {"enabled", {K::Number, QMetaType::fromType<bool>()}},
        {"ratio", {K::Number, QMetaType::fromType<double>()}},
        {"frame", {K::Value, QMetaType::fromType<QRect>()}},
        {"size", {K::Value, QMetaType::fromType<QSize>()}},
        {"bytes", {K::String, QMetaType::fromType<QByteArray>()}},
        {"names", {K::Class, QMetaType::fromType<QStringList>()}},
        {"leaf", {K::Class, QMetaType::fromType<Leaf *>()}},
        {"other", {K::Class, QMetaType::fromType<Leaf *>()}},
        {"opaque", {K::Class, QMetaType::fromType<Opaque *>()}},
        {"child", {K::Class, QMetaType::fromType<Model *>()}},
        {"fixed", {K::String, QMetaType::fromType<QString>()}},
        // The superclass's "tag" (a text) stands over the subclass's number.
        {"tag", {K::String, QMetaType::fromType<QString>()}},
    };
    EXPECT_EQ(classes.keys(), expected.keys());
    for (auto it = expected.constBegin(); it != expected.constEnd(); ++it)
        EXPECT_EQ(classes.value(it.key()), it.value()) << it.key().toStdString();

    // Made once per class: any object of the class gets the same map.
    Model another;
    EXPECT_EQ(&getPropertyClassesByName(&another), &classes);
    EXPECT_NE(&getPropertyClassesByName(&sub), &classes);
    EXPECT_EQ(getPropertyClassesByName(&sub), classes);
    EXPECT_TRUE(getPropertyClassesByName(nullptr).isEmpty());

    std::atomic<int> different{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&] {
            Leaf leaf;
            for (int i = 0; i < 200; ++i) {
                if (&getPropertyClassesByName(&leaf) != &getPropertyClassesByName(&leaf))
                    ++different;
            }
        });
    }
    for (std::thread &thread : threads)
        thread.join();
    EXPECT_EQ(different.load(), 0);
}

TEST(RvApplicationFolders, SizesCountTopLevelEntriesOnly)
{
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    writeFile(folder.filePath("ten"), 10);
    writeFile(folder.filePath("twenty"), 20);
    EXPECT_EQ(rv_sizeOfFolder(folder.path()), 30u);
    writeFile(folder.filePath(".hidden"), 5);
    EXPECT_EQ(rv_sizeOfFolder(folder.path()), 35u);
    // A subfolder counts with its own entry, not with what it holds.
    ASSERT_TRUE(QDir(folder.path()).mkdir("sub"));
    writeFile(folder.filePath("sub/big"), 100000);
    const quint64 withSub = rv_sizeOfFolder(folder.path());
    EXPECT_LT(withSub, 35u + 100000u);
    EXPECT_GE(withSub, 35u);
    // A link counts as itself (the length of its target's path).
    const QString target = folder.filePath("sub/big");
    ASSERT_TRUE(QFile::link(target, folder.filePath("link")));
    EXPECT_EQ(rv_sizeOfFolder(folder.path()), withSub + static_cast<quint64>(target.toUtf8().size()));

    EXPECT_EQ(rv_sizeOfFolder(folder.filePath("missing")), 0u);
    EXPECT_EQ(rv_sizeOfFolder(QString()), 0u);
    EXPECT_EQ(rv_sizeOfFolder(folder.filePath("ten")), 0u);
}

TEST(RvApplicationFolders, StandardFoldersAndTheirTotal)
{
    QTemporaryDir home;
    ASSERT_TRUE(home.isValid());
    for (const char *sub : {"docs", "data", "cache", "config"})
        ASSERT_TRUE(QDir(home.path()).mkdir(sub));
    const ScopedEnvironment data("XDG_DATA_HOME", home.filePath("data").toUtf8());
    const ScopedEnvironment cache("XDG_CACHE_HOME", home.filePath("cache").toUtf8());
    const ScopedEnvironment config("XDG_CONFIG_HOME", home.filePath("config").toUtf8());
    {
        QFile dirs(home.filePath("config/user-dirs.dirs"));
        ASSERT_TRUE(dirs.open(QIODevice::WriteOnly));
        dirs.write("XDG_DOCUMENTS_DIR=\"" + home.filePath("docs").toUtf8() + "\"\n");
    }
    EXPECT_EQ(rv_documentPath(), home.filePath("docs"));
    EXPECT_EQ(rv_libraryPath(), home.filePath("data"));
    EXPECT_EQ(rv_cachePath(), home.filePath("cache"));
    EXPECT_EQ(rv_documentURL(), QUrl::fromLocalFile(home.filePath("docs")));
    EXPECT_EQ(rv_libraryURL(), QUrl::fromLocalFile(home.filePath("data")));
    EXPECT_EQ(rv_cacheURL(), QUrl::fromLocalFile(home.filePath("cache")));

    writeFile(home.filePath("docs/a"), 1000);
    writeFile(home.filePath("data/b"), 400);
    writeFile(home.filePath("cache/c"), 100);
    QLocale::setDefault(QLocale::c());
    EXPECT_EQ(rv_applicationSize(), QStringLiteral("1.5 kB"));
    QLocale::setDefault(QLocale::system());
}

TEST(RvApplicationIdentity, NameIdentifierVersionAndBuild)
{
    const QString savedName = QCoreApplication::applicationName();
    const QString savedVersion = QCoreApplication::applicationVersion();
    QCoreApplication::setApplicationName(QStringLiteral("Quavdesk"));
    QCoreApplication::setApplicationVersion(QStringLiteral("2.4.1"));
    qApp->setProperty("applicationBuild", QStringLiteral("317"));
    EXPECT_EQ(rv_appBundleName(), QStringLiteral("Quavdesk"));
    EXPECT_EQ(rv_appBundleID(), QStringLiteral("Quavdesk"));
    QGuiApplication::setDesktopFileName(QStringLiteral("QuavdeskDesktopEntry"));
    EXPECT_EQ(rv_appBundleID(), QStringLiteral("QuavdeskDesktopEntry"));
    EXPECT_EQ(rv_appVersion(), QStringLiteral("2.4.1"));
    EXPECT_EQ(rv_appBuildVersion(), QStringLiteral("317"));
    QGuiApplication::setDesktopFileName(QString());
    qApp->setProperty("applicationBuild", QVariant());
    QCoreApplication::setApplicationName(savedName);
    QCoreApplication::setApplicationVersion(savedVersion);
}
