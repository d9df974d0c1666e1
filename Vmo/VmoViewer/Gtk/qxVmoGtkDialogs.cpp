#include "Vmo/VmoViewer/Gtk/qxVmoGtkDialogs.h"

#include "QxLib/qxLog.h"

#include <gtk/gtk.h>

#include <exception>

namespace qx {

namespace {

// Responses of the print dialog's buttons.
enum TPrintResponse : int { prChangePrinter = 1, prSave = 2, prPrint = 3 };

// Lets GTK finish what a closed dialog left (unmapping its window).
void Settle() {
  while (gtk_events_pending())
    gtk_main_iteration();
}

// A dialog stays above the show's window, even a full-screen one.
void KeepAbove(GtkWidget* dialog) {
  gtk_window_set_keep_above(GTK_WINDOW(dialog), TRUE);
  gtk_window_set_position(GTK_WINDOW(dialog), GTK_WIN_POS_CENTER);
}

void ShowError(const std::string& caption, const std::string& text) {
  GtkWidget* box =
      gtk_message_dialog_new(nullptr, GTK_DIALOG_MODAL, GTK_MESSAGE_WARNING, GTK_BUTTONS_OK, "%s", text.c_str());
  gtk_window_set_title(GTK_WINDOW(box), caption.c_str());
  KeepAbove(box);
  gtk_dialog_run(GTK_DIALOG(box));
  gtk_widget_destroy(box);
  Settle();
}

// The picture of a print job, drawn on its one page.
struct TPrintJob {
  const TBitmap* Picture = nullptr;
};

void DrawPage(GtkPrintOperation*, GtkPrintContext* context, gint, gpointer data) {
  const TBitmap& picture = *static_cast<TPrintJob*>(data)->Picture;
  cairo_t* cairo = gtk_print_context_get_cairo_context(context);
  const double pageWidth = gtk_print_context_get_width(context);
  const double pageHeight = gtk_print_context_get_height(context);
  const TPagePlacement placement =
      PlaceOnPage(picture.Width(), picture.Height(), static_cast<int32_t>(pageWidth), static_cast<int32_t>(pageHeight));
  if (placement.Width <= 0 || placement.Height <= 0)
    return;
  // The frame's rows are BGRA bytes, which is cairo's ARGB32 on a
  // little-endian machine; the picture is opaque.
  const int stride = cairo_format_stride_for_width(CAIRO_FORMAT_RGB24, picture.Width());
  cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_RGB24, picture.Width(), picture.Height());
  cairo_surface_flush(surface);
  unsigned char* bits = cairo_image_surface_get_data(surface);
  for (int y = 0; y < picture.Height(); ++y) {
    for (int x = 0; x < picture.Width(); ++x) {
      const TBgra pixel = picture.GetPixel(x, y);
      unsigned char* out = bits + static_cast<ptrdiff_t>(y) * stride + static_cast<ptrdiff_t>(x) * 4;
      out[0] = pixel.b;
      out[1] = pixel.g;
      out[2] = pixel.r;
      out[3] = 255;
    }
  }
  cairo_surface_mark_dirty(surface);
  cairo_save(cairo);
  cairo_translate(cairo, placement.Left, placement.Top);
  cairo_scale(cairo, double(placement.Width) / picture.Width(), double(placement.Height) / picture.Height());
  cairo_set_source_surface(cairo, surface, 0, 0);
  cairo_paint(cairo);
  cairo_restore(cairo);
  cairo_surface_destroy(surface);
}

} // namespace

struct TGtkDialogs::TState {
  bool Tried = false;
  bool Started = false;
  GtkPrintSettings* Settings = nullptr;
  GtkPageSetup* PageSetup = nullptr;

  ~TState() {
    if (Settings)
      g_object_unref(Settings);
    if (PageSetup)
      g_object_unref(PageSetup);
  }
};

TGtkDialogs::TGtkDialogs() : m_state(std::make_unique<TState>()) {}

TGtkDialogs::~TGtkDialogs() = default;

bool TGtkDialogs::Start() {
  if (!m_state->Tried) {
    m_state->Tried = true;
    m_state->Started = gtk_init_check(nullptr, nullptr) != FALSE;
    if (!m_state->Started)
      Log().WriteLine("TGtkDialogs: GTK cannot start");
  }
  return m_state->Started;
}

std::optional<std::string> TGtkDialogs::AskPassword(const TPasswordTexts& texts) {
  if (!Start())
    return std::nullopt;
  GtkWidget* dialog =
      gtk_dialog_new_with_buttons(texts.Caption.c_str(), nullptr, GTK_DIALOG_MODAL, texts.Cancel.c_str(),
                                  GTK_RESPONSE_CANCEL, texts.Ok.c_str(), GTK_RESPONSE_OK, nullptr);
  gtk_dialog_set_default_response(GTK_DIALOG(dialog), GTK_RESPONSE_OK);
  GtkWidget* content = gtk_dialog_get_content_area(GTK_DIALOG(dialog));
  gtk_container_set_border_width(GTK_CONTAINER(content), 12);
  gtk_box_set_spacing(GTK_BOX(content), 6);
  GtkWidget* label = gtk_label_new(texts.Label.c_str());
  gtk_label_set_xalign(GTK_LABEL(label), 0);
  GtkWidget* entry = gtk_entry_new();
  gtk_entry_set_visibility(GTK_ENTRY(entry), FALSE);
  gtk_entry_set_activates_default(GTK_ENTRY(entry), TRUE);
  gtk_box_pack_start(GTK_BOX(content), label, FALSE, FALSE, 0);
  gtk_box_pack_start(GTK_BOX(content), entry, FALSE, FALSE, 0);
  KeepAbove(dialog);
  gtk_widget_show_all(dialog);
  std::optional<std::string> typed;
  if (gtk_dialog_run(GTK_DIALOG(dialog)) == GTK_RESPONSE_OK)
    typed = gtk_entry_get_text(GTK_ENTRY(entry));
  gtk_widget_destroy(dialog);
  Settle();
  return typed;
}

void TGtkDialogs::RunPrintDialog(TVmoPrintDialog& dialog) {
  if (!Start())
    return;
  const TPrintTexts& texts = dialog.Texts();
  GtkWidget* window = gtk_dialog_new_with_buttons(texts.Caption.c_str(), nullptr, GTK_DIALOG_MODAL, nullptr, nullptr);
  gtk_dialog_add_button(GTK_DIALOG(window), texts.ChangePrinter.c_str(), prChangePrinter);
  if (texts.CanSave)
    gtk_dialog_add_button(GTK_DIALOG(window), texts.SaveButton.c_str(), prSave);
  gtk_dialog_add_button(GTK_DIALOG(window), texts.PrintButton.c_str(), prPrint);
  gtk_dialog_set_default_response(GTK_DIALOG(window), prPrint);
  GtkWidget* content = gtk_dialog_get_content_area(GTK_DIALOG(window));
  gtk_container_set_border_width(GTK_CONTAINER(content), 12);
  GtkWidget* onlyMain = gtk_check_button_new_with_label(texts.OnlyMainImage.c_str());
  gtk_box_pack_start(GTK_BOX(content), onlyMain, FALSE, FALSE, 0);
  KeepAbove(window);
  gtk_widget_show_all(window);

  for (bool open = true; open;) {
    const int response = gtk_dialog_run(GTK_DIALOG(window));
    const bool onlyMainImage = gtk_toggle_button_get_active(GTK_TOGGLE_BUTTON(onlyMain)) != FALSE;
    try {
      if (response == prChangePrinter) {
        if (!m_state->Settings)
          m_state->Settings = gtk_print_settings_new();
        GtkPageSetup* chosen =
            gtk_print_run_page_setup_dialog(GTK_WINDOW(window), m_state->PageSetup, m_state->Settings);
        if (m_state->PageSetup)
          g_object_unref(m_state->PageSetup);
        m_state->PageSetup = chosen;
        continue;
      }
      if (response == prPrint) {
        open = false;
        std::unique_ptr<TBitmap> picture = dialog.PictureToPrint(onlyMainImage);
        if (!picture || picture->IsEmpty())
          break;
        TPrintJob job{picture.get()};
        GtkPrintOperation* operation = gtk_print_operation_new();
        gtk_print_operation_set_job_name(operation, "Slideshow");
        gtk_print_operation_set_n_pages(operation, 1);
        GtkPageSetup* setup = m_state->PageSetup ? gtk_page_setup_copy(m_state->PageSetup) : gtk_page_setup_new();
        gtk_page_setup_set_orientation(setup, PrintLandscape(picture->Width(), picture->Height())
                                                  ? GTK_PAGE_ORIENTATION_LANDSCAPE
                                                  : GTK_PAGE_ORIENTATION_PORTRAIT);
        gtk_print_operation_set_default_page_setup(operation, setup);
        g_object_unref(setup);
        if (m_state->Settings)
          gtk_print_operation_set_print_settings(operation, m_state->Settings);
        g_signal_connect(operation, "draw-page", G_CALLBACK(DrawPage), &job);
        GError* error = nullptr;
        const GtkPrintOperationResult result =
            gtk_print_operation_run(operation, GTK_PRINT_OPERATION_ACTION_PRINT_DIALOG, GTK_WINDOW(window), &error);
        if (result == GTK_PRINT_OPERATION_RESULT_APPLY) {
          if (m_state->Settings)
            g_object_unref(m_state->Settings);
          m_state->Settings = GTK_PRINT_SETTINGS(g_object_ref(gtk_print_operation_get_print_settings(operation)));
        } else if (result == GTK_PRINT_OPERATION_RESULT_ERROR && error) {
          ShowError(texts.Caption, error->message);
        }
        if (error)
          g_error_free(error);
        g_object_unref(operation);
        break;
      }
      if (response == prSave) {
        const std::optional<TSaveProposal> proposal = dialog.SaveProposal(onlyMainImage);
        if (!proposal) {
          open = false;
          break;
        }
        GtkWidget* chooser = gtk_file_chooser_dialog_new(texts.SaveButton.c_str(), GTK_WINDOW(window),
                                                         GTK_FILE_CHOOSER_ACTION_SAVE, "_Cancel", GTK_RESPONSE_CANCEL,
                                                         texts.SaveButton.c_str(), GTK_RESPONSE_ACCEPT, nullptr);
        gtk_file_chooser_set_do_overwrite_confirmation(GTK_FILE_CHOOSER(chooser), TRUE);
        gtk_file_chooser_set_current_name(GTK_FILE_CHOOSER(chooser), proposal->FileName.c_str());
        for (const std::string& extension : proposal->Extensions) {
          GtkFileFilter* filter = gtk_file_filter_new();
          const std::string pattern = extension.empty() ? "*" : "*." + extension;
          gtk_file_filter_set_name(filter, pattern.c_str());
          gtk_file_filter_add_pattern(filter, pattern.c_str());
          gtk_file_chooser_add_filter(GTK_FILE_CHOOSER(chooser), filter);
        }
        const bool accepted = gtk_dialog_run(GTK_DIALOG(chooser)) == GTK_RESPONSE_ACCEPT;
        std::string path;
        if (accepted) {
          gchar* name = gtk_file_chooser_get_filename(GTK_FILE_CHOOSER(chooser));
          path = name ? name : "";
          g_free(name);
        }
        gtk_widget_destroy(chooser);
        Settle();
        if (!path.empty())
          dialog.Save(*proposal, SavePath(*proposal, path));
        // The frame closes the dialog whatever was chosen; the main
        // picture's file only once it was saved.
        if (!proposal->Data || !path.empty())
          open = false;
        continue;
      }
      open = false;
    } catch (const std::exception& error) {
      ShowError(texts.Caption, error.what());
    }
  }
  gtk_widget_destroy(window);
  Settle();
}

} // namespace qx
