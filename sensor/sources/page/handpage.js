// Finds hands in the pictures of a camera or of a video file handed over one
// at a time, and sends every picture's landmarks back to handmotion, which
// serves this page on the loopback interface. Every address is relative to the
// page's own, whose first path element is the token that handmotion checks.
'use strict';

const previewWidth = 256;
const previewIntervalMs = 1000 / 10;
const previewQuality = 0.7;
// The scout looks for both hands in every scoutEvery-th picture, and in
// every scoutEveryWhileTwo-th while it saw two: often enough to catch a
// left hand raised within a second or two, then its closing and opening.
const scoutEvery = 24;
const scoutEveryWhileTwo = 4;
// How much wider and higher than a hand's landmarks its masked box is.
const maskMargin = 0.35;

// Following one hand costs the model about half of looking for two: with two
// hands allowed and one in view it searches the whole picture for the other
// in every picture. So the tracker follows one hand (the operator's right)
// in every picture, and the scout, a second model allowed two hands, looks
// at some pictures for both, which is enough for the left hand's open or
// closed state. Where the scout finds the tracker on the left hand, the
// tracker starts again on a picture with the left hand blacked out.
let tracker = null;
let scout = null;
let trackerResults = null;
let scoutResults = null;
let picturesSinceScout = Infinity;
// The operator's left hand as the scout last saw it, blacked out for the
// tracker while it looks for a hand: {x0, y0, x1, y1} in pixels, or null.
let leftHandBox = null;
let lastPreviewMs = -Infinity;
// Drawn into, never shown. Every canvas of the page is one the processor
// draws into (willReadFrequently): through the software renderer a canvas
// that is read back costs a round trip to its process each time, a third
// of the frame rate (measured).
const previewCanvas = document.createElement('canvas');
const trackerCanvas = document.createElement('canvas');

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

// The hands of a model's results, landmarks in the picture's pixels.
function handsOf(results, width, height) {
    const found = [];
    const images = (results && results.multiHandLandmarks) || [];
    const worlds = (results && results.multiHandWorldLandmarks) || [];
    const labels = (results && results.multiHandedness) || [];
    for (let h = 0; h < images.length && h < worlds.length && h < labels.length; ++h) {
        found.push({
            label: labels[h].label,
            score: labels[h].score,
            image: images[h].map(p => [p.x * width, p.y * height]),
            world: worlds[h].map(p => [p.x, p.y, p.z]),
        });
    }
    return found;
}

// The palm's centre: the wrist and the four knuckles.
function palmCentre(hand) {
    let x = 0;
    let y = 0;
    for (const k of [0, 5, 9, 13, 17]) {
        x += hand.image[k][0] / 5;
        y += hand.image[k][1] / 5;
    }
    return [x, y];
}

function distance(a, b) {
    return Math.hypot(a[0] - b[0], a[1] - b[1]);
}

function boxAround(hand) {
    const xs = hand.image.map(p => p[0]);
    const ys = hand.image.map(p => p[1]);
    const x0 = Math.min(...xs), x1 = Math.max(...xs);
    const y0 = Math.min(...ys), y1 = Math.max(...ys);
    const mx = (x1 - x0) * maskMargin, my = (y1 - y0) * maskMargin;
    return {x0: x0 - mx, y0: y0 - my, x1: x1 + mx, y1: y1 + my};
}

// Of two hands the scout found, which is the operator's right: the model
// assumes a mirrored picture, so on this unmirrored one it calls the right
// hand "Left"; two hands it calls the same are told apart by where they are
// (the operator's right hand is on the camera's left).
function rightOfTwo(hands) {
    const [a, b] = hands;
    if (a.label !== b.label)
        return a.label === 'Left' ? 0 : 1;
    return palmCentre(a)[0] <= palmCentre(b)[0] ? 0 : 1;
}

// The hands of one picture: the tracker's hand, and on the scout's pictures
// the other hand the scout found.
function combine(trackerHands, scoutHands) {
    if (scoutHands === null)
        return trackerHands;
    if (trackerHands.length === 0)
        return scoutHands;
    const mine = palmCentre(trackerHands[0]);
    const others = scoutHands.filter(h => distance(palmCentre(h), mine) > 0.5 * handSize(h));
    return trackerHands.concat(others.slice(0, 1));
}

function handSize(hand) {
    return distance(hand.image[0], hand.image[9]);
}

// The landmarks of one picture, in its pixels and unmirrored.
function landmarkMessage(found, index, timeUs, width, height, analysisMs) {
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

// Sends the picture, scaled down, for the colour view, at most 10 a second
// and one at a time. Only the drawing waits: the picture is encoded and sent
// while the model goes on with the next one, after its own landmarks (the
// promise landmarksSent), with which handmotion draws it.
let previewOnItsWay = false;

function sendPreview(source, width, height, index, landmarksSent) {
    const now = performance.now();
    if (previewOnItsWay || now - lastPreviewMs < previewIntervalMs)
        return;
    lastPreviewMs = now;
    previewOnItsWay = true;
    encodePreview(source, width, height, index, landmarksSent).catch(() => {}).finally(() => {
        previewOnItsWay = false;
    });
}

async function encodePreview(source, width, height, index, landmarksSent) {
    const canvas = previewCanvas;
    canvas.width = previewWidth;
    canvas.height = Math.max(1, Math.round(height * previewWidth / width));
    canvas.getContext('2d', {willReadFrequently: true})
        .drawImage(source, 0, 0, canvas.width, canvas.height);
    const blob = await new Promise(done => canvas.toBlob(done, 'image/jpeg', previewQuality));
    await landmarksSent;
    if (blob)
        await post('picture?i=' + index + '&w=' + width + '&h=' + height, blob, 'image/jpeg');
}

// The tracker's picture: the source, with the left hand blacked out while
// the tracker is to look for the right one.
function trackerPicture(source, width, height) {
    if (!leftHandBox)
        return source;
    trackerCanvas.width = width;
    trackerCanvas.height = height;
    const context = trackerCanvas.getContext('2d', {willReadFrequently: true});
    context.drawImage(source, 0, 0, width, height);
    context.fillStyle = 'black';
    const b = leftHandBox;
    context.fillRect(b.x0, b.y0, b.x1 - b.x0, b.y1 - b.y0);
    return trackerCanvas;
}

async function analyse(source, width, height) {
    const started = performance.now();
    trackerResults = null;
    await tracker.send({image: trackerPicture(source, width, height)});
    const followed = handsOf(trackerResults, width, height);
    let scouted = null;
    // A picture in which the tracker lost its hand is scouted at once.
    const every = leftHandBox ? scoutEveryWhileTwo : scoutEvery;
    if (++picturesSinceScout >= every || followed.length === 0) {
        picturesSinceScout = 0;
        scoutResults = null;
        await scout.send({image: source});
        scouted = handsOf(scoutResults, width, height);
        leftHandBox = null;
        if (scouted.length === 2) {
            const right = rightOfTwo(scouted);
            const left = scouted[1 - right];
            leftHandBox = boxAround(left);
            // The tracker on the left hand starts again, without it.
            if (followed.length > 0
                && distance(palmCentre(followed[0]), palmCentre(left))
                    < distance(palmCentre(followed[0]), palmCentre(scouted[right])))
                tracker.reset();
        }
    }
    return {hands: combine(followed, scouted), ms: performance.now() - started};
}

// A file: every picture exactly once, in order, as handmotion hands them out.
async function runFile(config) {
    const canvas = document.getElementById('picture');
    const context = canvas.getContext('2d', {willReadFrequently: true});
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
        const found = await analyse(canvas, canvas.width, canvas.height);
        await postMessage(landmarkMessage(found.hands, index, timeUs, canvas.width,
                                          canvas.height, found.ms));
        if (config.preview)
            sendPreview(canvas, canvas.width, canvas.height, index, Promise.resolve());
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
    // The answers on their way, chained so that they leave in order; the
    // model waits while two are, and an answer that fails ends the loop.
    let answers = Promise.resolve();
    let waiting = 0;
    let failed = null;
    let index = 0;
    let lastTime = -1;
    let lastPicture = null;
    while (!ended) {
        if (failed)
            throw failed;
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
        const found = await analyse(video, video.videoWidth, video.videoHeight);
        // The model goes on with the next picture while handmotion reads
        // this one's answer; the answers still leave one after the other,
        // in order.
        const message = landmarkMessage(found.hands, index, timeUs, video.videoWidth,
                                        video.videoHeight, found.ms);
        if (waiting >= 2)
            await answers;
        ++waiting;
        answers = answers.then(() => postMessage(message))
                      .catch(e => { failed = failed || e; })
                      .finally(() => { --waiting; });
        if (config.preview)
            sendPreview(video, video.videoWidth, video.videoHeight, index, answers);
        ++index;
    }
    await answers;
    await report('error', 'the camera stopped delivering pictures');
}

async function main() {
    const config = await (await fetch('config')).json();
    const model = (maxNumHands, complexity) => {
        const hands = new Hands({locateFile: file => 'mediapipe/' + file});
        hands.setOptions({
            maxNumHands: maxNumHands,
            modelComplexity: complexity,
            minDetectionConfidence: 0.5,
            minTrackingConfidence: 0.5,
            selfieMode: false,
            useCpuInference: true,
        });
        return hands;
    };
    // The scout needs only where the hands are and how open: the lite model.
    tracker = model(1, config.model === 'lite' ? 0 : 1);
    scout = model(2, 0);
    tracker.onResults(results => { trackerResults = results; });
    scout.onResults(results => { scoutResults = results; });
    try {
        await tracker.initialize();
        await scout.initialize();
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
