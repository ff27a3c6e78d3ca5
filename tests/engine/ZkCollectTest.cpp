// File collection tests are being written.
