/* The JNI entry points of the Java binding's tidelink.TidelinkNative: each
 * passes its arguments straight to one of the library's eleven calls. */
#include <errno.h>
#include <jni.h>
#include <stdint.h>
#include <tidelink.h>

#define ENTRY(type, name) JNIEXPORT type JNICALL Java_tidelink_TidelinkNative_##name

/* A handle travels through Java as a long, whatever the pointer's width. */
static UdpSocket* handle_of(jlong handle) {
    return (UdpSocket*)(intptr_t)handle;
}

static UdpEndPoint endpoint_of(jint address, jint port) {
    UdpEndPoint endpoint = {(uint32_t)address, (uint16_t)port, 0};
    return endpoint;
}

/* The endpoint goes back to Java as two ints, address then port. */
static void put_endpoint(JNIEnv* env, jintArray out, const UdpEndPoint* endpoint) {
    jint fields[2] = {(jint)endpoint->address, (jint)endpoint->port};
    (*env)->SetIntArrayRegion(env, out, 0, 2, fields);
}

/* Java passes direct buffers only, and the byte offset within one. */
static char* bytes_at(JNIEnv* env, jobject buffer, jint offset) {
    return (char*)(*env)->GetDirectBufferAddress(env, buffer) + offset;
}

ENTRY(jlong, udpCreate)(JNIEnv* env, jclass cls) {
    (void)env, (void)cls;
    return (jlong)(intptr_t)udpCreate();
}

ENTRY(jint, udpBind)(JNIEnv* env, jclass cls, jlong handle, jint address, jint port) {
    (void)env, (void)cls;
    return udpBind(handle_of(handle), endpoint_of(address, port));
}

ENTRY(jint, udpGetEndPoint)(JNIEnv* env, jclass cls, jlong handle, jintArray out) {
    (void)cls;
    UdpEndPoint endpoint = {0, 0, 0};
    UdpResult result = udpGetEndPoint(handle_of(handle), &endpoint);
    put_endpoint(env, out, &endpoint);
    return result;
}

ENTRY(jint, udpLastError)(JNIEnv* env, jclass cls, jlong handle) {
    (void)env, (void)cls;
    return udpLastError(handle_of(handle));
}

ENTRY(jint, udpSendTo)(JNIEnv* env, jclass cls, jlong handle, jobject buffer, jint offset, jint length,
                       jint address, jint port) {
    (void)cls;
    return udpSendTo(handle_of(handle), bytes_at(env, buffer, offset), length, endpoint_of(address, port));
}

ENTRY(jint, udpRecvFrom)(JNIEnv* env, jclass cls, jlong handle, jobject buffer, jint offset, jint size,
                         jintArray sender) {
    (void)cls;
    UdpEndPoint endpoint = {0, 0, 0};
    UdpResult result = udpRecvFrom(handle_of(handle), bytes_at(env, buffer, offset), size, &endpoint);
    if (result >= 0) put_endpoint(env, sender, &endpoint);
    return result;
}

/* The wait stores no error in the handle, so errno is taken here, before
 * the JVM runs anything that may change it: the result in the low 32 bits,
 * errno in the high 32 bits when the result is -1. */
ENTRY(jlong, udpRecvPoll)(JNIEnv* env, jclass cls, jlong handle, jint timeout) {
    (void)env, (void)cls;
    UdpResult result = udpRecvPoll(handle_of(handle), timeout);
    int64_t error = result == UDP_ERROR_SYSTEM ? errno : 0;
    return (jlong)(error << 32 | (int64_t)(uint32_t)result);
}

ENTRY(jint, udpClose)(JNIEnv* env, jclass cls, jlong handle) {
    (void)env, (void)cls;
    return udpClose(handle_of(handle));
}

ENTRY(jstring, udpPlatform)(JNIEnv* env, jclass cls) {
    (void)cls;
    return (*env)->NewStringUTF(env, udpPlatform());
}

ENTRY(jstring, udpPlatformErrorString)(JNIEnv* env, jclass cls, jint error) {
    (void)cls;
    return (*env)->NewStringUTF(env, udpPlatformErrorString(error));
}

ENTRY(jint, udpGetHighPrecisionTime)(JNIEnv* env, jclass cls) {
    (void)env, (void)cls;
    return (jint)udpGetHighPrecisionTime();
}
