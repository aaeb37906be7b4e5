#pragma once

// The camera contract: the body tracker's types, interfaces and entry point,
// with the names, values and calling conventions the sensor code is written
// against. Behind it sit the camera sources of sensor/sources/ (no camera, the
// built-in demo operator, replay of a recording, scripted frames for tests).
//
// Conventions, as everywhere in this contract:
// - Every method returns an HRESULT; negative means failure. Out-parameters
//   are set to null (or left untouched for plain values) on failure.
// - Every interface is reference counted. An object handed out through an
//   out-parameter carries one reference for the caller; Release() of the last
//   reference frees it. Objects keep what they depend on alive, so they may be
//   released in any order. AddRef and Release may be called from any thread.
// - Threads: each reader is used by one thread at a time, and different
//   readers may be used by different threads at once (the body reader on
//   one, the colour reader on another). The sensor object (Open, Close, the
//   getters) is used by one thread while no reader is in a call. Frames and
//   bodies belong to the thread that acquired them. The event functions at
//   the end may be called from any thread.

#include <cstdint>

using HRESULT = std::int32_t;
using ULONG = std::uint32_t;
using UINT = unsigned int;
using UINT64 = std::uint64_t;
using BYTE = unsigned char;
using BOOLEAN = unsigned char;
using BOOL = int;
using DWORD = std::uint32_t;
// An event to wait on.
using HANDLE = void *;
// A reader's frame-arrival event as an integer; reinterpret_cast it to
// HANDLE to wait on it.
using WAITABLE_HANDLE = std::intptr_t;
// A time in units of 100 ns.
using TIMESPAN = std::int64_t;

constexpr HRESULT S_OK = 0;
constexpr HRESULT E_FAIL = static_cast<HRESULT>(0x80004005u);
constexpr HRESULT E_POINTER = static_cast<HRESULT>(0x80004003u);
constexpr HRESULT E_PENDING = static_cast<HRESULT>(0x8000000Au);
constexpr HRESULT E_INVALIDARG = static_cast<HRESULT>(0x80070057u);

inline bool SUCCEEDED(HRESULT hr) { return hr >= 0; }
inline bool FAILED(HRESULT hr) { return hr < 0; }

// Number of body slots in every body frame.
constexpr int BODY_COUNT = 6;

// Camera space: metres, X to the camera's left as seen from the person (the
// person's right), Y up, Z away from the camera.
struct CameraSpacePoint {
    float X;
    float Y;
    float Z;
};

// A point of the 512 x 424 depth image, in pixels; -infinity in both
// coordinates for a point the mapper cannot map.
struct DepthSpacePoint {
    float X;
    float Y;
};

enum JointType {
    JointType_SpineBase = 0,
    JointType_SpineMid = 1,
    JointType_Neck = 2,
    JointType_Head = 3,
    JointType_ShoulderLeft = 4,
    JointType_ElbowLeft = 5,
    JointType_WristLeft = 6,
    JointType_HandLeft = 7,
    JointType_ShoulderRight = 8,
    JointType_ElbowRight = 9,
    JointType_WristRight = 10,
    JointType_HandRight = 11,
    JointType_HipLeft = 12,
    JointType_KneeLeft = 13,
    JointType_AnkleLeft = 14,
    JointType_FootLeft = 15,
    JointType_HipRight = 16,
    JointType_KneeRight = 17,
    JointType_AnkleRight = 18,
    JointType_FootRight = 19,
    JointType_SpineShoulder = 20,
    JointType_HandTipLeft = 21,
    JointType_ThumbLeft = 22,
    JointType_HandTipRight = 23,
    JointType_ThumbRight = 24,
    JointType_Count = 25
};

enum HandState {
    HandState_Unknown = 0,
    HandState_NotTracked = 1,
    HandState_Open = 2,
    HandState_Closed = 3,
    HandState_Lasso = 4
};

enum TrackingState {
    TrackingState_NotTracked = 0,
    TrackingState_Inferred = 1,
    TrackingState_Tracked = 2
};

// The member names repeat the type names, as the camera's own API spells
// them; the types are named with :: so that the names do not change meaning
// inside the struct.
struct Joint {
    ::JointType JointType;
    CameraSpacePoint Position;
    ::TrackingState TrackingState;
};

enum ColorImageFormat {
    ColorImageFormat_None = 0,
    ColorImageFormat_Rgba = 1,
    ColorImageFormat_Yuv = 2,
    ColorImageFormat_Bgra = 3,
    ColorImageFormat_Bayer = 4,
    ColorImageFormat_Yuy2 = 5
};

struct IUnknown {
    virtual ULONG AddRef() = 0;
    virtual ULONG Release() = 0;

protected:
    // Objects die through Release(), never through delete.
    virtual ~IUnknown() = default;
};

struct IBody : IUnknown {
    virtual HRESULT get_IsTracked(BOOLEAN *tracked) = 0;
    virtual HRESULT get_TrackingId(UINT64 *trackingId) = 0;
    virtual HRESULT get_HandLeftState(HandState *handState) = 0;
    virtual HRESULT get_HandRightState(HandState *handState) = 0;
    // Fills joints[0 .. JointType_Count - 1], indexed by JointType; fails
    // with E_INVALIDARG when capacity is below JointType_Count.
    virtual HRESULT GetJoints(UINT capacity, Joint *joints) = 0;
};

struct IBodyFrame : IUnknown {
    // For each of the first min(capacity, BODY_COUNT) slots: a null entry
    // receives a new body (one reference for the caller), a body from an
    // earlier call is refreshed in place.
    virtual HRESULT GetAndRefreshBodyData(UINT capacity, IBody **bodies) = 0;
    // When the frame was taken, on the camera's clock: later for every later
    // frame of one Open().
    virtual HRESULT get_RelativeTime(TIMESPAN *relativeTime) = 0;
};

struct IColorFrame : IUnknown {
    virtual HRESULT get_RawColorImageFormat(ColorImageFormat *format) = 0;
    // The frame's own pixels in its raw format, valid while the frame lives.
    virtual HRESULT AccessRawUnderlyingBuffer(UINT *capacity, BYTE **buffer) = 0;
    // Converts the frame into the caller's array: ColorImageFormat_Bgra or
    // ColorImageFormat_Rgba, 4 bytes a pixel, rows top down. Fails with
    // E_INVALIDARG when capacity is too small or the format unsupported.
    virtual HRESULT CopyConvertedFrameDataToArray(
        UINT capacity, BYTE *array, ColorImageFormat format)
        = 0;
};

// Every colour frame is this size.
constexpr int colorFrameWidth = 1920;
constexpr int colorFrameHeight = 1080;

// A reader delivers the frames of one stream as they fall due on the
// camera's clock. AcquireLatestFrame returns the newest frame that became due
// since the last successful acquire (frames that were never acquired are
// dropped) and E_PENDING when none did; it is cheap when nothing is new. A
// frame that cannot be delivered whole fails with E_FAIL.
//
// SubscribeFrameArrived gives the reader's frame-arrival event (a new one
// for each call; the caller ends it with UnsubscribeFrameArrived, never with
// CloseHandle). The event is signalled when a frame falls due, and stays
// signalled until an AcquireLatestFrame finds no new frame: a thread that
// waits on it and then acquires until E_PENDING misses nothing the reader
// delivers, and sleeps while no frame is due. It starts signalled, so that a
// first wait returns at once and the first acquire finds out.
struct IBodyFrameReader : IUnknown {
    virtual HRESULT AcquireLatestFrame(IBodyFrame **frame) = 0;
    virtual HRESULT SubscribeFrameArrived(WAITABLE_HANDLE *waitableHandle) = 0;
    // E_INVALIDARG for a handle this reader did not give or already ended.
    virtual HRESULT UnsubscribeFrameArrived(WAITABLE_HANDLE waitableHandle) = 0;
};

struct IColorFrameReader : IUnknown {
    virtual HRESULT AcquireLatestFrame(IColorFrame **frame) = 0;
    virtual HRESULT SubscribeFrameArrived(WAITABLE_HANDLE *waitableHandle) = 0;
    virtual HRESULT UnsubscribeFrameArrived(WAITABLE_HANDLE waitableHandle) = 0;
};

struct IBodyFrameSource : IUnknown {
    virtual HRESULT OpenReader(IBodyFrameReader **reader) = 0;
    // Not in the body tracker's SDK: TRUE for a camera whose body frames do
    // not come at the tracker's steady 30 Hz (a hand-landmark camera, a video
    // file), so that stillness is counted by the frames' times.
    virtual HRESULT get_CountsStillnessByTime(BOOLEAN *byTime) = 0;
};

struct IColorFrameSource : IUnknown {
    virtual HRESULT OpenReader(IColorFrameReader **reader) = 0;
    // Sets caption to what the colour view shows in place of pictures when
    // this camera has no colour stream (UTF-8, valid while the source
    // lives), or to null when there is nothing to say.
    virtual HRESULT get_MissingStreamCaption(const char **caption) = 0;
};

struct ICoordinateMapper : IUnknown {
    // Pinhole projection into the depth image:
    // X = 256 + 365.5 x / z, Y = 212 - 365.5 y / z. A point with z <= 0 or a
    // coordinate that is not finite maps to -infinity in both.
    virtual HRESULT MapCameraPointToDepthSpace(
        CameraSpacePoint cameraPoint, DepthSpacePoint *depthPoint)
        = 0;
};

struct IKinectSensor : IUnknown {
    // Fails when no camera is attached; frames flow only while open.
    virtual HRESULT Open() = 0;
    virtual HRESULT Close() = 0;
    virtual HRESULT get_CoordinateMapper(ICoordinateMapper **mapper) = 0;
    virtual HRESULT get_ColorFrameSource(IColorFrameSource **source) = 0;
    virtual HRESULT get_BodyFrameSource(IBodyFrameSource **source) = 0;
    // Not in the body tracker's SDK: what the camera has to say now (its
    // model's frame rate, or a problem), UTF-8, cut to fit capacity bytes
    // with the closing NUL; empty when nothing. Any thread.
    virtual HRESULT GetStatusText(UINT capacity, char *text) = 0;
};

// The default camera. The source behind it is the one installed with
// camera::installSource (sensor/sources/Source.h) if any, else the one the
// environment variable HANDMOTION_CAMERA names (or the command line's
// choice, which wins over it): unset, empty or "none" for no camera (Open
// fails), "demo" for the built-in demonstration operator, "replay:PATH" for
// a recording (.csv or .skeleton), "osc[:[ADDRESS:]PORT]" for body frames
// received over OSC. An unknown value is reported on standard error and
// gives no camera. Fails only for a null out-parameter.
HRESULT GetDefaultKinectSensor(IKinectSensor **sensor);

// Gives up the reference object holds, if any, and nulls it.
template <class Interface> void releaseInterface(Interface *&object)
{
    if (object) {
        object->Release();
        object = nullptr;
    }
}

// Events and waits, for the threads that take frames: a thread waits on its
// reader's frame-arrival event and on a stop event of its own.
constexpr DWORD INFINITE = 0xFFFFFFFFu;
constexpr DWORD WAIT_OBJECT_0 = 0;
constexpr DWORD WAIT_TIMEOUT = 258;
constexpr DWORD WAIT_FAILED = 0xFFFFFFFFu;
constexpr DWORD MAXIMUM_WAIT_OBJECTS = 64;

// A new event, signalled or not. A manual-reset event stays signalled until
// ResetEvent; an automatic one is reset when a wait returns for it. Ended
// with CloseHandle.
HANDLE CreateEvent(BOOL manualReset, BOOL initialState);
// FALSE for a handle that is not a live event.
BOOL SetEvent(HANDLE event);
BOOL ResetEvent(HANDLE event);
BOOL CloseHandle(HANDLE event);
// Waits until one of the count events is signalled and returns
// WAIT_OBJECT_0 + its index (the lowest when several are), or WAIT_TIMEOUT
// after milliseconds (INFINITE: never). WAIT_FAILED for a count of 0 or
// above MAXIMUM_WAIT_OBJECTS, a handle that is not a live event, or waitAll
// (waiting for all at once is not supported). No event may be closed while
// a thread waits on it.
DWORD WaitForMultipleObjects(DWORD count, const HANDLE *handles, BOOL waitAll, DWORD milliseconds);
DWORD WaitForSingleObject(HANDLE event, DWORD milliseconds);
