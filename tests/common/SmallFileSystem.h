#pragma once

#include <QString>

// A tmpfs mounted on a folder for the life of the object, to see how captures behave on a
// disk that fills up or refuses files. Mounting needs root; isMounted() is false elsewhere
// (QSKIP then).
class SmallFileSystem
{
public:
    // options as for mount(8), e.g. "size=256k" or "ro".
    SmallFileSystem(const QString& folder, const QString& options);
    ~SmallFileSystem();
    SmallFileSystem(const SmallFileSystem&) = delete;
    SmallFileSystem& operator=(const SmallFileSystem&) = delete;

    bool isMounted() const { return m_mounted; }

private:
    QString m_folder;
    bool m_mounted = false;
};
