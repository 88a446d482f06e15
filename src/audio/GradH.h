#pragma once
// The horizontal level meter: records the default input at 44100 Hz stereo through its own
// WaveInRecorder (`oRec`) and, for each buffer, draws a bar as long as the peak of one channel,
// shaded from GradientColor1 to GradientColor2 across the lit part.
//
// Its size follows VUSize (0 small, 1 medium, 2 large, anything else nothing), given in twips
// and turned into pixels with the screen's logical DPI. Drawing only marks the widget for
// repaint; the bar is painted on the next paint event, so a buffer never blocks the UI thread.
//
// Between StartVU and StopVU the meter keeps recording: when the recorder cannot start (the
// sound server has not answered yet, or is away) or loses its recording, the meter shows the
// empty bar and tries again every kReconnectMs and whenever the server answers. Its tool tip
// says why it shows nothing, so an empty bar is not taken for a silent microphone.
//
// Thread: user-interface thread. Owns its recorder and its copy of the last buffer.

#include <QColor>
#include <QSize>
#include <QWidget>

#include <vector>

class QPainter;
class QTimer;

namespace tavrin {

class WaveInRecorder;

// Each window that holds a meter names it so.
inline constexpr char kMeterName[] = "GradH1";

class GradH : public QWidget {
    Q_OBJECT
public:
    static constexpr int kSampleRate = 44100;
    static constexpr int kChannels = 2;
    // Keys and defaults of the stored properties.
    static constexpr char kChannelKey[] = "Channel";
    static constexpr char kVUSizeKey[] = "VUSize";
    static constexpr char kBackColorKey[] = "BackColor";
    static constexpr char kGradientColor1Key[] = "GradientColor1";
    static constexpr char kGradientColor2Key[] = "GradientColor2";
    static constexpr quint32 kDefaultGradientColor1 = 65280; // green
    static constexpr quint32 kDefaultGradientColor2 = 255;   // red
    static constexpr int kReconnectMs = 2000;
    static constexpr char kReconnectTimerName[] = "ReconnectTimer";
    static constexpr char kServerSilentTip[] = "No sound input: the sound server does not answer. Trying again.";
    static constexpr char kInputLostTip[] = "No sound input: the recording device was lost. Trying again.";
    static constexpr char kNoInputTip[] = "No sound input. Trying again.";

    explicit GradH(QWidget *parent = nullptr);
    ~GradH() override;

    int Channel() const { return channel_; }
    void setChannel(int NewChan) { channel_ = NewChan; }
    int VUSize() const { return vuSize_; }
    void setVUSize(int NewSiz);
    QColor GradientColor1() const { return color1_; }
    void setGradientColor1(const QColor &NewCol);
    QColor GradientColor2() const { return color2_; }
    void setGradientColor2(const QColor &NewCol);
    QColor BackColor() const { return back_; }
    void setBackColor(const QColor &New_BackColor);
    bool backColorChanged() const { return backColorChanged_; }

    void StartVU();
    void StopVU();
    void Preview();

    WaveInRecorder &oRec() { return *rec_; }

    // The size of a VUSize class in twips; 0 x 0 for an unknown class.
    static QSize sizeInTwips(int vuSize);
    // Largest absolute value of samples[start], samples[start + step], ...; 1 when that is 0
    // or there is no such sample.
    static qint32 ChannelPeak(const std::vector<qint16> &samples, int start, int step);

    // State of the last drawing, for tests and the benchmark.
    float level() const { return level_; }
    int barRight() const { return barRight_; }
    int barBottom() const { return barBottom_; }
    // Paints the meter as it stands (used by paintEvent and the benchmark).
    void paintMeter(QPainter &painter) const;

public slots:
    // A buffer arrived from the recorder.
    void oRec_GotData(const std::vector<qint16> &intBuffer, qint32 lngLen);
    // Starts recording again when the meter runs but its recorder does not.
    void reconnectTick();

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    void DrawLevel(float level);
    void Repaint() { DrawLevel(0); }
    void applySize();

    WaveInRecorder *rec_;
    QTimer *reconnect_;
    bool running_ = false; // between StartVU and StopVU
    std::vector<qint16> copy_;
    int channel_ = 0;
    int vuSize_ = 0;
    QColor color1_{0, 255, 0};
    QColor color2_{255, 0, 0};
    QColor back_{Qt::black};
    bool backColorChanged_ = false;
    bool resizing_ = false;
    float level_ = 0;
    int barRight_ = 0;
    int barBottom_ = 0;
};

} // namespace tavrin
