#pragma once

#include <QString>
#include <optional>

#include "TavlinExport.h"

// A failure as the library reports it: a domain text, a code, and a
// human-readable description (often empty). Shared with the program.
struct TAVLIN_EXPORT TavlinError {
    QString domain;
    qint64 code = 0;
    QString description;

    TavlinError() = default;
    TavlinError(QString errorDomain, qint64 errorCode, QString errorDescription = {})
        : domain(std::move(errorDomain)), code(errorCode), description(std::move(errorDescription))
    {
    }
    bool operator==(const TavlinError &other) const = default;
};

// "An error or none", as several callbacks carry.
using OptionalTavlinError = std::optional<TavlinError>;
