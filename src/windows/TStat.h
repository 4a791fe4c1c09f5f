#pragma once

#include <QDialog>
#include <QPoint>
#include <string>
#include <vector>

class QFrame;
class QGroupBox;
class QLabel;
class QPushButton;
class QSlider;
class QTextEdit;

namespace data {
class Course;
}

namespace windows {

// The statistics window: estimate steps are answered on its track bar (0 to 100), and the
// comment after an answer is shown in its group box.
class TStat : public QDialog {
  public:
    explicit TStat(data::Course& course, QWidget* parent = nullptr);

    // The estimate question (courseware code page): title and text.
    void SetQuestion(const std::string& title, const std::string& text);
    // After an answer: the window's caption, the step's question and what was answered, and the
    // comment in a group box captioned with the verdict, in green (right) or red (wrong). The
    // slider and its scale stay shown for an estimate only.
    struct Answered {
        std::string caption, question, answer, verdict, comment;
        bool right = false;
        bool slider = false;
    };
    void SetAnswer(const Answered& answered);
    // Asking: the track bar is enabled and the window shrinks by the group box height + 5;
    // otherwise the track bar is disabled and the window has its full height.
    void SetAsking(bool asking);
    bool Asking() const { return asking_; }
    // The learner's answer: the track bar position.
    int Answer() const;
    // The next ShowModal shows the window with its top-left corner at global (screen
    // coordinates), kept on the display, instead of centred over the main window.
    void PlaceAt(const QPoint& global);
    int ShowModal();

    QLabel* Image1() const { return image_; }
    QLabel* Titre() const { return titre_; }
    QTextEdit* Texte() const { return texte_; }
    QSlider* TrackBar() const { return track_; }
    QPushButton* BitBtn1() const { return ok_; }
    QGroupBox* GroupBox() const { return group_; }
    QTextEdit* InfoText() const { return info_; }

  protected:
    void showEvent(QShowEvent* event) override;

  private:
    data::Course& course_;
    QLabel* image_;
    QLabel* titre_;
    QTextEdit* texte_;
    QFrame* bevel_;
    QSlider* track_;
    QPushButton* ok_;
    QGroupBox* group_;
    QTextEdit* info_;
    bool asking_ = false;
    std::vector<QWidget*> slider_parts_;  // the track bar and its scale labels
    bool placed_ = false;
    QPoint place_;
    std::string caption_;  // the window's title; common text 65 while asking
};

}  // namespace windows
