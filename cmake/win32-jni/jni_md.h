/* Machine-dependent JNI types for 64-bit Windows (LLP64): jint is 32 bits,
 * jlong 64 bits, exports carry __declspec(dllexport). */
#ifndef TQ_WIN32_JNI_MD_H
#define TQ_WIN32_JNI_MD_H

#define JNIEXPORT __declspec(dllexport)
#define JNIIMPORT __declspec(dllimport)
#define JNICALL __stdcall

typedef int jint;
typedef long long jlong;
typedef signed char jbyte;

#endif
