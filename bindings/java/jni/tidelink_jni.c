/* The JNI entry points of the Java binding's io.github.tidelink.TidelinkNative: each
 * passes its arguments straight to one of the library's eleven calls. */
#include <errno.h>
#include <jni.h>
#include <stdint.h>
#include <tidelink.h>

#define ENTRY(type, name) JNIEXPORT type JNICALL Java_io_github_tidelink_TidelinkNative_##name

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

/* The result in the low 32 bits and, after -1, the errno the call left in the
 * high 32 bits: taken here, before the JVM runs anything that may change it.
 * The handle's udpLastError may hold another thread's failure by then. */
static jlong with_errno(UdpResult result) {
    int64_t error = result == UDP_ERROR_SYSTEM ? errno : 0;
    return (jlong)(error << 32 | (int64_t)(uint32_t)result);
}

/* Java passes direct buffers only, and the byte offset within one. */
static char* bytes_at(JNIEnv* env, jobject buffer, jint offset) {
    return (char*)(*env)->GetDirectBufferAddress(env, buffer) + offset;
}

ENTRY(jlong, udpCreate)(JNIEnv* env, jclass cls) {
    (void)env, (void)cls;
    return (jlong)(intptr_t)udpCreate();
}

ENTRY(jlong, udpBind)(JNIEnv* env, jclass cls, jlong handle, jint address, jint port) {
    (void)env, (void)cls;
    return with_errno(udpBind(handle_of(handle), endpoint_of(address, port)));
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

ENTRY(jlong, udpSendTo)(JNIEnv* env, jclass cls, jlong handle, jobject buffer, jint offset, jint length,
                        jint address, jint port) {
    (void)cls;
    char* bytes = bytes_at(env, buffer, offset);
    return with_errno(udpSendTo(handle_of(handle), bytes, length, endpoint_of(address, port)));
}

ENTRY(jlong, udpRecvFrom)(JNIEnv* env, jclass cls, jlong handle, jobject buffer, jint offset, jint size,
                          jintArray sender) {
    (void)cls;
    UdpEndPoint endpoint = {0, 0, 0};
    char* bytes = bytes_at(env, buffer, offset);
    jlong answer = with_errno(udpRecvFrom(handle_of(handle), bytes, size, &endpoint));
    if ((jint)answer >= 0) put_endpoint(env, sender, &endpoint);
    return answer;
}

ENTRY(jlong, udpRecvPoll)(JNIEnv* env, jclass cls, jlong handle, jint timeout) {
    (void)env, (void)cls;
    return with_errno(udpRecvPoll(handle_of(handle), timeout));
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
