#include "sensor/sources/PageMessage.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>

#include <array>
#include <cmath>

namespace camera {

namespace {

    // Integers travel as JSON numbers, exact up to 2^53.
    constexpr double largestExactInteger = 9007199254740992.0;
    // A picture larger than this on either side is not a camera's.
    constexpr int largestPictureSide = 16384;
    // Landmarks may lie a little outside the picture, never this far.
    constexpr double pictureMargin = 10.0;
    // The model's hand-centred points are centimetres from the hand.
    constexpr double largestWorldCoordinate = 10.0;
    constexpr int maxHands = 2;
    constexpr int landmarkCount = 21;

    struct Reader {
        std::string &error;

        bool fail(const std::string &what)
        {
            error = what;
            return false;
        }

        bool number(
            const QJsonObject &object, const char *field, double low, double high, double &value)
        {
            const QJsonValue v = object.value(QLatin1String(field));
            if (!v.isDouble())
                return fail(std::string("\"") + field + "\" is missing or not a number");
            value = v.toDouble();
            if (!std::isfinite(value) || value < low || value > high)
                return fail(std::string("\"") + field + "\" is out of range");
            return true;
        }

        bool integer(const QJsonObject &object, const char *field, double low, double high,
            std::int64_t &value)
        {
            double d = 0.0;
            if (!number(object, field, low, high, d))
                return false;
            if (d != std::floor(d))
                return fail(std::string("\"") + field + "\" is not a whole number");
            value = std::int64_t(d);
            return true;
        }

        template <std::size_t N>
        bool points(const QJsonObject &hand, const char *field,
            std::array<std::array<double, N>, landmarkCount> &out, const double (&low)[N],
            const double (&high)[N])
        {
            const QJsonValue v = hand.value(QLatin1String(field));
            if (!v.isArray() || v.toArray().size() != landmarkCount)
                return fail(std::string("\"") + field + "\" is not a list of 21 points");
            const QJsonArray list = v.toArray();
            for (int k = 0; k < landmarkCount; ++k) {
                const QJsonValue p = list.at(k);
                if (!p.isArray() || p.toArray().size() != int(N))
                    return fail(std::string("\"") + field + "\" point " + std::to_string(k)
                        + " does not have " + std::to_string(N) + " coordinates");
                const QJsonArray coordinates = p.toArray();
                for (std::size_t c = 0; c < N; ++c) {
                    const QJsonValue x = coordinates.at(int(c));
                    const double d = x.toDouble(std::nan(""));
                    if (!x.isDouble() || !std::isfinite(d) || d < low[c] || d > high[c])
                        return fail(std::string("\"") + field + "\" point " + std::to_string(k)
                            + " has a coordinate out of range");
                    out[std::size_t(k)][c] = d;
                }
            }
            return true;
        }

        bool hand(const QJsonValue &value, int width, int height, LandmarkHand &out)
        {
            if (!value.isObject())
                return fail("a hand is not an object");
            const QJsonObject object = value.toObject();
            const QJsonValue label = object.value(QLatin1String("label"));
            if (label != QLatin1String("Left") && label != QLatin1String("Right"))
                return fail("a hand's \"label\" is neither \"Left\" nor \"Right\"");
            out.labelledRight = label == QLatin1String("Right");
            if (!number(object, "score", 0.0, 1.0, out.score))
                return false;
            const double imageLow[2] = { -pictureMargin * width, -pictureMargin * height };
            const double imageHigh[2] = { pictureMargin * width, pictureMargin * height };
            const double worldLow[3]
                = { -largestWorldCoordinate, -largestWorldCoordinate, -largestWorldCoordinate };
            const double worldHigh[3]
                = { largestWorldCoordinate, largestWorldCoordinate, largestWorldCoordinate };
            return points(object, "image", out.image, imageLow, imageHigh)
                && points(object, "world", out.world, worldLow, worldHigh);
        }

        bool landmarks(const QJsonObject &object, PageMessage &message)
        {
            std::int64_t width = 0;
            std::int64_t height = 0;
            if (!integer(object, "i", 0.0, largestExactInteger, message.index)
                || !integer(object, "t_us", -largestExactInteger, largestExactInteger,
                    message.frame.timeMicroseconds)
                || !integer(object, "w", 0.0, largestPictureSide, width)
                || !integer(object, "h", 0.0, largestPictureSide, height))
                return false;
            message.frame.width = int(width);
            message.frame.height = int(height);
            const QJsonValue mirrored = object.value(QLatin1String("mirrored"));
            if (!mirrored.isBool())
                return fail("\"mirrored\" is missing or not true or false");
            message.frame.mirrored = mirrored.toBool();
            if (object.contains(QLatin1String("ms"))
                && !number(object, "ms", 0.0, 1e9, message.analysisMilliseconds))
                return false;
            const QJsonValue broken = object.value(QLatin1String("broken"));
            if (!broken.isUndefined() && !broken.isBool())
                return fail("\"broken\" is not true or false");
            message.broken = broken.toBool();
            const QJsonValue hands = object.value(QLatin1String("hands"));
            if (!hands.isArray())
                return fail("\"hands\" is missing or not a list");
            const QJsonArray list = hands.toArray();
            if (list.size() > maxHands)
                return fail("more than two hands");
            if (!list.isEmpty() && (width == 0 || height == 0))
                return fail("hands in a picture without a size");
            message.frame.hands.resize(std::size_t(list.size()));
            for (int h = 0; h < list.size(); ++h) {
                if (!hand(list.at(h), int(width), int(height), message.frame.hands[std::size_t(h)]))
                    return false;
            }
            return true;
        }
    };

} // namespace

bool readPageMessage(const char *data, std::size_t size, PageMessage &message, std::string &error)
{
    message = PageMessage();
    if (size > maxPageMessageBytes) {
        error = "larger than " + std::to_string(maxPageMessageBytes) + " bytes";
        return false;
    }
    QJsonParseError parseError {};
    const QJsonDocument document
        = QJsonDocument::fromJson(QByteArray::fromRawData(data, int(size)), &parseError);
    if (parseError.error != QJsonParseError::NoError || !document.isObject()) {
        error = "not a JSON object";
        return false;
    }
    const QJsonObject object = document.object();
    const QString kind = object.value(QLatin1String("kind")).toString();
    Reader reader { error };
    if (kind == QLatin1String("landmarks")) {
        message.kind = PageMessage::Kind::Landmarks;
        return reader.landmarks(object, message);
    }
    if (kind == QLatin1String("ready"))
        message.kind = PageMessage::Kind::Ready;
    else if (kind == QLatin1String("end"))
        message.kind = PageMessage::Kind::End;
    else if (kind == QLatin1String("error"))
        message.kind = PageMessage::Kind::Error;
    else
        return reader.fail("unknown \"kind\"");
    const QJsonValue text = object.value(QLatin1String("text"));
    if (!text.isString())
        return reader.fail("\"text\" is missing or not a string");
    message.text = text.toString().left(maxPageTextLength);
    return true;
}

bool tokenMatches(const std::string &given, const std::string &token)
{
    if (given.size() != token.size() || token.empty())
        return false;
    unsigned char difference = 0;
    for (std::size_t k = 0; k < token.size(); ++k)
        difference |= static_cast<unsigned char>(given[k] ^ token[k]);
    return difference == 0;
}

PageInputTally::PageInputTally(std::string prefix)
    : IgnoredTally(std::move(prefix),
        { "requests without the right token", "malformed messages", "oversized requests",
            "unknown requests" })
{
}

} // namespace camera
