#include "control/Failure.h"

#include <new>
#include <stdexcept>

qvRuntimeError CaughtFailure() {
  try {
    throw;
  } catch (const qvRuntimeError& failure) {
    return failure;
  } catch (const std::bad_alloc&) {
    return qvRuntimeError(kErrOutOfMemory);
  } catch (const std::length_error&) {
    return qvRuntimeError(kErrOutOfMemory);
  } catch (...) {
    return qvRuntimeError(kErrInternal);
  }
}
