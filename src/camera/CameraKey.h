#pragma once
// The camera's password key and initial vector, supplied to the build as configuration
// (cmake/CameraKeys.cmake: KX_CAMERA_AES_KEY, KX_CAMERA_AES_IV).
#include "camera/CredentialProtection.h"

namespace kx {

// Built from the configured hexadecimal texts on every call, so no copy of the key stays in
// a long-lived object.
AesKey CameraPasswordKey();
AesVector CameraPasswordVector();

// True when the build uses the development defaults instead of the camera's values.
bool CameraKeyIsDevelopmentDefault();

}  // namespace kx
