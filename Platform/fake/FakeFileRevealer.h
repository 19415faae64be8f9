#pragma once

#include <QStringList>

#include "Platform/FileRevealer.h"

namespace Platform::Fake {

// Records the files it was asked to show.
class FakeFileRevealer final : public FileRevealer {
public:
    bool revealFile(const QString &path) override
    {
        revealed.append(path);
        return answer;
    }

    QStringList revealed;
    bool answer = true;
};

} // namespace Platform::Fake
