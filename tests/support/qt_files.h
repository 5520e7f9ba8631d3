// Whole files read and written through Qt, for tests that set up and check real files.
#pragma once

#include <QFile>
#include <QString>

#include <gtest/gtest.h>

#include <string>

namespace testing_support {

// The file's bytes, or "<missing>" when it cannot be read.
inline std::string readFile(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll().toStdString() : "<missing>";
}

inline void writeFile(const QString& path, const std::string& bytes) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly)) << path.toStdString();
    file.write(bytes.data(), static_cast<qint64>(bytes.size()));
}

}  // namespace testing_support
