// Finds hands in the pictures of a camera or of a video file handed over one
// at a time, and sends every picture's landmarks back to handmotion, which
// serves this page on the loopback interface. Every address is relative to the
// page's own, whose first path element is the token that handmotion checks.
'use strict';

const previewWidth = 320;
const previewIntervalMs = 1000 / 15;
const previewQuality = 0.7;

let hands = null;
let lastResults = null;
let lastPreviewMs = -Infinity;
// Drawn into, never shown.
const previewCanvas = document.createElement('canvas');

async function post(path, body, contentType) {
    const response = await fetch(path, {
        method: 'POST',
        headers: {'Content-Type': contentType},
        body: body,
    });
    if (!response.ok)
        throw new Error('handmotion refused ' + path + ': ' + response.status);
    return response;
}

function postMessage(message) {
    return post('message', JSON.stringify(message), 'application/json');
}

function report(kind, text) {
    return postMessage({kind: kind, text: String(text)}).catch(() => {});
}

// The landmarks of one picture, in its pixels and unmirrored.
function landmarkMessage(results, index, timeUs, width, height, analysisMs) {
    const found = [];
    const images = results.multiHandLandmarks || [];
    const worlds = results.multiHandWorldLandmarks || [];
    const labels = results.multiHandedness || [];
    for (let h = 0; h < images.length && h < worlds.length && h < labels.length; ++h) {
        found.push({
            label: labels[h].label,
            score: labels[h].score,
            image: images[h].map(p => [p.x * width, p.y * height]),
            world: worlds[h].map(p => [p.x, p.y, p.z]),
        });
    }
    return {
        kind: 'landmarks',
        i: index,
        t_us: timeUs,
        w: width,
        h: height,
        mirrored: false,
        ms: analysisMs,
        hands: found,
    };
}

async function sendPreview(source, width, height, index) {
    const now = performance.now();
    if (now - lastPreviewMs < previewIntervalMs)
        return;
    lastPreviewMs = now;
    const canvas = previewCanvas;
    canvas.width = previewWidth;
    canvas.height = Math.max(1, Math.round(height * previewWidth / width));
    canvas.getContext('2d').drawImage(source, 0, 0, canvas.width, canvas.height);
    const blob = await new Promise(done => canvas.toBlob(done, 'image/jpeg', previewQuality));
    if (blob)
        await post('picture?i=' + index + '&w=' + width + '&h=' + height, blob, 'image/jpeg');
}

async function analyse(source) {
    lastResults = null;
    const started = performance.now();
    await hands.send({image: source});
    return {results: lastResults || {}, ms: performance.now() - started};
}

// A file: every picture exactly once, in order, as handmotion hands them out.
async function runFile(config) {
    const canvas = document.getElementById('picture');
    const context = canvas.getContext('2d');
    for (;;) {
        const response = await fetch('next', {method: 'POST'});
        if (response.status === 204)
            break;
        if (!response.ok)
            throw new Error('handmotion gave no picture: ' + response.status);
        const index = Number(response.headers.get('X-Frame-Index'));
        const timeUs = Number(response.headers.get('X-Frame-Time'));
        let bitmap;
        try {
            if (response.headers.get('Content-Type') === 'application/octet-stream') {
                // Raw pixels, R G B A, rows top down.
                const width = Number(response.headers.get('X-Frame-Width'));
                const height = Number(response.headers.get('X-Frame-Height'));
                const pixels = new Uint8ClampedArray(await response.arrayBuffer());
                bitmap = await createImageBitmap(new ImageData(pixels, width, height));
            } else {
                bitmap = await createImageBitmap(await response.blob());
            }
        } catch (e) {
            // A picture the browser cannot decode still gets its answer, so
            // that the file's count of pictures stays whole.
            await postMessage({kind: 'landmarks', i: index, t_us: timeUs, w: 0, h: 0,
                               mirrored: false, ms: 0, hands: [], broken: true});
            continue;
        }
        canvas.width = bitmap.width;
        canvas.height = bitmap.height;
        context.drawImage(bitmap, 0, 0);
        bitmap.close();
        const found = await analyse(canvas);
        await postMessage(landmarkMessage(found.results, index, timeUs, canvas.width,
                                          canvas.height, found.ms));
        if (config.preview)
            await sendPreview(canvas, canvas.width, canvas.height, index);
    }
    await report('end', 'the file has no more pictures');
}

async function chooseCamera(label) {
    const devices = (await navigator.mediaDevices.enumerateDevices())
                        .filter(d => d.kind === 'videoinput');
    if (devices.length === 0)
        throw new Error('no camera found');
    if (!label)
        return devices[0].deviceId;
    const same = devices.find(d => d.label === label)
                 || devices.find(d => d.label.startsWith(label + ' ('));
    if (!same)
        throw new Error('no camera named "' + label + '" (found: '
                        + devices.map(d => '"' + d.label + '"').join(', ') + ')');
    return same.deviceId;
}

function cameraError(e) {
    if (e && e.name === 'NotReadableError')
        return 'the camera is busy (another program may be using it)';
    if (e && (e.name === 'NotFoundError' || e.name === 'OverconstrainedError'))
        return 'no camera found';
    if (e && e.name === 'NotAllowedError')
        return 'the camera was not granted';
    return 'the camera could not be opened: ' + (e && e.message ? e.message : e);
}

// A camera: always the newest picture, as fast as the model can go.
async function runCamera(config) {
    let stream;
    try {
        // Asking once with any camera grants the labels that the choice needs.
        stream = await navigator.mediaDevices.getUserMedia({video: true});
        const deviceId = await chooseCamera(config.camera);
        stream.getTracks().forEach(t => t.stop());
        stream = await navigator.mediaDevices.getUserMedia({
            video: {deviceId: {exact: deviceId}, width: {ideal: config.width},
                    height: {ideal: config.height}}});
    } catch (e) {
        throw new Error(e instanceof Error && !e.name.endsWith('Error') ? e.message
                                                                       : cameraError(e));
    }
    const video = document.getElementById('camera');
    video.srcObject = stream;
    await video.play();
    const track = stream.getVideoTracks()[0];
    let ended = false;
    // The newest picture the video shows, kept up to date by the browser:
    // a picture that arrived while the model worked is taken at once, not
    // after waiting for the one after it.
    let newest = null;
    let wake = null;
    track.addEventListener('ended', () => {
        ended = true;
        if (wake)
            wake();
    });
    const seen = (now, meta) => {
        newest = meta;
        if (wake) {
            const w = wake;
            wake = null;
            w();
        }
        video.requestVideoFrameCallback(seen);
    };
    video.requestVideoFrameCallback(seen);
    let index = 0;
    let lastTime = -1;
    let lastPicture = null;
    while (!ended) {
        while (newest === lastPicture && !ended)
            await new Promise(done => { wake = done; });
        if (ended)
            break;
        const frame = newest;
        lastPicture = frame;
        // The picture's capture time when the browser knows it, else when
        // it was shown.
        const captureMs = frame.captureTime !== undefined ? frame.captureTime
                                                          : frame.expectedDisplayTime;
        let timeUs = Math.round((performance.timeOrigin + captureMs) * 1000);
        if (timeUs <= lastTime)
            timeUs = lastTime + 1;
        lastTime = timeUs;
        const found = await analyse(video);
        await postMessage(landmarkMessage(found.results, index, timeUs, video.videoWidth,
                                          video.videoHeight, found.ms));
        if (config.preview)
            await sendPreview(video, video.videoWidth, video.videoHeight, index);
        ++index;
    }
    await report('error', 'the camera stopped delivering pictures');
}

async function main() {
    const config = await (await fetch('config')).json();
    hands = new Hands({locateFile: file => 'mediapipe/' + file});
    hands.setOptions({
        maxNumHands: 2,
        modelComplexity: config.model === 'lite' ? 0 : 1,
        minDetectionConfidence: 0.5,
        minTrackingConfidence: 0.5,
        selfieMode: false,
        useCpuInference: true,
    });
    hands.onResults(results => { lastResults = results; });
    try {
        await hands.initialize();
    } catch (e) {
        throw new Error('the hand model did not load: ' + (e && e.message ? e.message : e));
    }
    await report('ready', 'the hand model is loaded');
    if (config.mode === 'camera')
        await runCamera(config);
    else
        await runFile(config);
}

window.addEventListener('error', e => report('error', e.message));
window.addEventListener('unhandledrejection', e =>
    report('error', e.reason && e.reason.message ? e.reason.message : e.reason));
window.addEventListener('load', () => {
    main().catch(e => report('error', e && e.message ? e.message : e));
});
