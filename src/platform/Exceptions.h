#pragma once
// Exception classes of the platform layer. Every failure that reaches the user
// carries a message text; the application's error box shows it as it stands.

#include <stdexcept>
#include <string>

namespace gz {

class Exception : public std::runtime_error {
public:
    explicit Exception(const std::string& message) : std::runtime_error(message) {}
    std::string Message() const { return what(); }
};

// A picture's data cannot be understood (bad file, unknown format).
class EInvalidGraphic : public Exception { using Exception::Exception; };
// An operation the picture class does not support (resizing a JPEG, ...).
class EInvalidGraphicOperation : public Exception { using Exception::Exception; };
// Assigning between picture classes that do not know each other.
class EConvertError : public Exception { using Exception::Exception; };
// Silent cancellation: raised by a progress listener to stop an operation.
class EAbort : public Exception {
public:
    EAbort() : Exception("Operation aborted") {}
    using Exception::Exception;
};
// Memory or drawing resources are exhausted (a raster too large to allocate).
class EOutOfResources : public Exception { using Exception::Exception; };

class EStreamError : public Exception { using Exception::Exception; };
class EReadError : public EStreamError { using EStreamError::EStreamError; };
class EWriteError : public EStreamError { using EStreamError::EStreamError; };
class EFOpenError : public EStreamError { using EStreamError::EStreamError; };
class EFCreateError : public EStreamError { using EStreamError::EStreamError; };

} // namespace gz
