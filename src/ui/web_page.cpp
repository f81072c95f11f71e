// web_page: to be written.
